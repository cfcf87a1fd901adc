#pragma once

#include <QByteArray>
#include <QFont>
#include <QRawFont>
#include <QString>
#include <QStringView>
#include <memory>
#include <unordered_map>
#include <vector>

// Turns a line of text into glyphs placed along the line, once, for every
// output of a report: the preview, the printer and our own PDF writer draw
// the same glyphs at the same places.
//
// Plain text (Latin, with the Romanian letters) is looked up character by
// character in the font's own tables: the glyph and its design advance, no
// kerning (the layout measures without kerning too). Anything else (another
// script, a character the font lacks, combining marks) goes through Qt's
// text layout, which also picks fallback fonts.
class TextShaper {
public:
    // Characters below this (Latin, with the Romanian letters) have their
    // advances kept in per-font tables, by the layout and the shaper alike,
    // so that what the layout measures is what the shaper places.
    static constexpr char16_t TableChars = 0x0300;
    // A font file as used on the page, whatever the size.
    struct Face {
        QRawFont raw; // at the size first met
        QString family, style;
        int unitsPerEm = 1000;
        bool italic = false;
        // What the PDF writer embeds: TrueType or CFF outlines; a face with
        // neither (Type 1, variable CFF2) has its glyphs drawn as paths.
        enum class Outlines : quint8 { None, TrueType, Cff };
        Outlines outlines = Outlines::None;
        std::unordered_map<quint32, QString> texts; // glyph -> the characters it shows
        QByteArray table(const char tag[4]) const;
    };
    // A face at one size. Glyphs advance as Qt's own text layout advances
    // them at that size, so lines measured at layout keep their width.
    struct Sized {
        int face = 0;
        float pixelSize = 0; // reference pixels
        QRawFont raw;
        std::unordered_map<quint32, float> advances;
    };
    struct Run {
        int sized = 0;
        float baseline = 0;          // from the line's top
        size_t first = 0, count = 0; // in ShapedText's glyphs / x
    };
    struct ShapedText {
        std::vector<quint32> glyphs;
        std::vector<float> x; // from the line's start, reference pixels
        std::vector<Run> runs;
        double advance = 0;
        void clear();
    };

    TextShaper();
    ~TextShaper();
    TextShaper(const TextShaper&) = delete;
    TextShaper& operator=(const TextShaper&) = delete;

    // `font` is a reference font of the page model (sized in reference pixels).
    void shape(QStringView text, const QFont& font, ShapedText& out);

    int faceCount() const { return int(m_faces.size()); }
    const Face& face(int index) const { return *m_faces[size_t(index)]; }
    const Sized& sized(int index) const { return *m_sized[size_t(index)]; }
    // A glyph's advance in reference pixels.
    float advance(int sized, quint32 glyph);

private:
    struct FontData;
    FontData& fontData(const QFont& font);
    int faceOf(const QRawFont& raw);
    int sizedOf(const QRawFont& raw);
    bool shapePlain(QStringView text, FontData& fd, ShapedText& out);
    void shapeComplex(QStringView text, const QFont& font, ShapedText& out);

    std::vector<std::unique_ptr<Face>> m_faces;
    std::vector<std::unique_ptr<FontData>> m_fonts;
    std::unordered_map<const QFont*, FontData*> m_byAddress;
    std::vector<std::unique_ptr<Sized>> m_sized;
};

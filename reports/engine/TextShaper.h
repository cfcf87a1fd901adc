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
    // A font file as used on the page, whatever the size.
    struct Face {
        QRawFont raw;        // at the size first met
        QString family, style;
        int unitsPerEm = 1000;
        std::vector<quint16> advances; // design units, by glyph
        bool italic = false;
        bool glyfOutlines = false; // TrueType outlines, which our PDF can embed
        std::unordered_map<quint32, QString> texts; // glyph -> the characters it shows
        QByteArray table(const char tag[4]) const;
        double advanceOf(quint32 glyph) const; // design units
    };
    struct Run {
        int face = 0;
        float pixelSize = 0; // reference pixels
        float baseline = 0;  // from the line's top
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
    // The face's font at the given reference pixel size, for QPainter output.
    const QRawFont& rawFont(int face, float pixelSize);

private:
    struct FontData;
    FontData& fontData(const QFont& font);
    int faceOf(const QRawFont& raw);
    bool shapePlain(QStringView text, FontData& fd, ShapedText& out);
    void shapeComplex(QStringView text, const QFont& font, ShapedText& out);

    std::vector<std::unique_ptr<Face>> m_faces;
    std::vector<std::unique_ptr<FontData>> m_fonts;
    std::unordered_map<const QFont*, FontData*> m_byAddress;
    std::unordered_map<quint64, QRawFont> m_sized;
};

#include "TextShaper.h"

#include <QGlyphRun>
#include <QTextLayout>
#include <QtEndian>
#include <cstring>

namespace {

constexpr char16_t TableChars = TextShaper::TableChars;
constexpr quint32 NotLooked = 0xffffffffu;

// Characters that need no shaping: one character, one glyph, drawn left to
// right. Combining marks, right-to-left and complex scripts, invisible
// format characters and surrogates are left to Qt's layout.
bool simpleChar(char16_t c) {
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    if (c < 0x7f)
        return true;
    if (c < 0xa0 || c == 0xad)
        return false; // C1 controls; the soft hyphen shows only where a line breaks
    if (c < 0x0300)
        return true;
    if (c >= 0x0370 && c < 0x0590)
        return true; // Greek, Cyrillic
    if (c >= 0x1e00 && c < 0x2000)
        return true;
    if (c >= 0x2000 && c < 0x20d0)
        return !(c >= 0x200b && c <= 0x200f) && !(c >= 0x2028 && c <= 0x202e) &&
               !(c >= 0x2060 && c <= 0x206f);
    return c >= 0x2100 && c < 0x2c00;
}

quint16 be16(const QByteArray& t, int at) {
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(t.constData()) + at);
}

} // namespace

struct TextShaper::FontData {
    struct Glyph {
        quint32 index = NotLooked;
        float advance = 0;
    };
    QFont font;
    int sized = 0;
    float ascent = 0;
    Glyph table[TableChars];
    std::unordered_map<char16_t, Glyph> others;
};

QByteArray TextShaper::Face::table(const char tag[4]) const {
    return raw.fontTable(tag);
}

void TextShaper::ShapedText::clear() {
    glyphs.clear();
    x.clear();
    runs.clear();
    advance = 0;
}

TextShaper::TextShaper() = default;
TextShaper::~TextShaper() = default;

int TextShaper::faceOf(const QRawFont& raw) {
    const bool italic = raw.style() != QFont::StyleNormal;
    for (size_t i = 0; i < m_faces.size(); ++i) {
        const Face& f = *m_faces[i];
        if (f.family == raw.familyName() && f.style == raw.styleName() && f.italic == italic &&
            f.raw.weight() == raw.weight())
            return int(i);
    }
    auto f = std::make_unique<Face>();
    f->raw = raw;
    f->family = raw.familyName();
    f->style = raw.styleName();
    f->italic = italic;
    f->unitsPerEm = std::max(1, int(raw.unitsPerEm()));
    const QByteArray maxp = raw.fontTable("maxp");
    if (raw.fontTable("head").size() >= 54 && maxp.size() >= 6 && be16(maxp, 4) > 0) {
        if (!raw.fontTable("glyf").isEmpty() && !raw.fontTable("loca").isEmpty())
            f->outlines = Face::Outlines::TrueType;
        else if (!raw.fontTable("CFF ").isEmpty())
            f->outlines = Face::Outlines::Cff;
    }
    m_faces.push_back(std::move(f));
    return int(m_faces.size() - 1);
}

int TextShaper::sizedOf(const QRawFont& raw) {
    const int face = faceOf(raw);
    const float size = float(raw.pixelSize());
    for (size_t i = 0; i < m_sized.size(); ++i) {
        if (m_sized[i]->face == face && m_sized[i]->pixelSize == size)
            return int(i);
    }
    auto s = std::make_unique<Sized>();
    s->face = face;
    s->pixelSize = size;
    s->raw = raw;
    m_sized.push_back(std::move(s));
    return int(m_sized.size() - 1);
}

float TextShaper::advance(int sized, quint32 glyph) {
    Sized& s = *m_sized[size_t(sized)];
    auto found = s.advances.find(glyph);
    if (found != s.advances.end())
        return found->second;
    const QList<QPointF> a = s.raw.advancesForGlyphIndexes(QList<quint32>{glyph});
    const float adv = a.isEmpty() ? 0.f : float(a[0].x());
    s.advances.emplace(glyph, adv);
    return adv;
}

TextShaper::FontData& TextShaper::fontData(const QFont& font) {
    auto known = m_byAddress.find(&font);
    if (known != m_byAddress.end() && known->second->font == font)
        return *known->second;
    for (auto& fd : m_fonts) {
        if (fd->font == font) {
            m_byAddress[&font] = fd.get();
            return *fd;
        }
    }
    auto fd = std::make_unique<FontData>();
    fd->font = font;
    const QRawFont raw = QRawFont::fromFont(font);
    fd->sized = sizedOf(raw);
    fd->ascent = float(raw.ascent());
    m_fonts.push_back(std::move(fd));
    m_byAddress[&font] = m_fonts.back().get();
    return *m_fonts.back();
}

bool TextShaper::shapePlain(QStringView text, FontData& fd, ShapedText& out) {
    const Sized& sized = *m_sized[size_t(fd.sized)];
    Face& face = *m_faces[size_t(sized.face)];
    const size_t start = out.glyphs.size();
    double x = 0;
    for (QChar qc : text) {
        char16_t c = qc.unicode();
        if (!simpleChar(c))
            return false;
        if (c < 0x20)
            c = u' '; // single-line drawing shows breaks and tabs as spaces
        FontData::Glyph glyph;
        if (c < TableChars) {
            glyph = fd.table[c];
        } else {
            auto it = fd.others.find(c);
            if (it != fd.others.end())
                glyph = it->second;
        }
        if (glyph.index == NotLooked) {
            const QChar ch(c);
            const QList<quint32> g = sized.raw.glyphIndexesForString(QString(ch));
            glyph.index = g.size() == 1 ? g[0] : 0;
            if (glyph.index != 0) {
                glyph.advance = advance(fd.sized, glyph.index);
                face.texts.emplace(glyph.index, QString(ch));
            }
            if (c < TableChars)
                fd.table[c] = glyph;
            else
                fd.others.emplace(c, glyph);
        }
        if (glyph.index == 0)
            return false; // the font lacks it: Qt picks a fallback font
        out.glyphs.push_back(glyph.index);
        out.x.push_back(float(x));
        x += glyph.advance;
    }
    out.runs.push_back(Run{fd.sized, fd.ascent, start, out.glyphs.size() - start});
    out.advance = x;
    return true;
}

void TextShaper::shapeComplex(QStringView text, const QFont& font, ShapedText& out) {
    QString single = text.toString();
    for (QChar& c : single) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    QTextLayout layout(single, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    if (!line.isValid())
        return;
    out.advance = line.horizontalAdvance();
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> pos = run.positions();
        if (glyphs.isEmpty())
            continue;
        const QRawFont raw = run.rawFont();
        const int sized = sizedOf(raw);
        Face& f = *m_faces[size_t(m_sized[size_t(sized)]->face)];
        // Which characters the glyphs show, for copying text out of a PDF.
        for (QChar ch : single) {
            const QList<quint32> g = raw.glyphIndexesForString(QString(ch));
            if (g.size() == 1 && g[0] != 0 && glyphs.contains(g[0]))
                f.texts.emplace(g[0], QString(ch));
        }
        const size_t start = out.glyphs.size();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            out.glyphs.push_back(glyphs[i]);
            out.x.push_back(float(pos[i].x()));
        }
        out.runs.push_back(Run{sized, float(pos[0].y()), start, size_t(glyphs.size())});
    }
}

void TextShaper::shape(QStringView text, const QFont& font, ShapedText& out) {
    out.clear();
    if (text.isEmpty())
        return;
    FontData& fd = fontData(font);
    if (shapePlain(text, fd, out))
        return;
    out.clear();
    shapeComplex(text, font, out);
}

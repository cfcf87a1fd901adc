#include "PdfOutput.h"

#include "PagePainter.h"
#include "SystemError.h"
#include "TextShaper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QIODevice>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <hb-subset.h>
#include <map>
#include <set>
#include <span>
#include <unordered_map>

namespace {

// --- small, fast text formatting -------------------------------------------

void appendInt(QByteArray& b, long long v) {
    char tmp[24];
    int n = 0;
    const bool negative = v < 0;
    unsigned long long u = negative ? 0ULL - (unsigned long long)v : (unsigned long long)v;
    do {
        tmp[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative)
        b.append('-');
    while (n)
        b.append(tmp[--n]);
}

// A number with at most `decimals` decimals, trailing zeros dropped.
void appendNum(QByteArray& b, double v, int decimals = 2) {
    static constexpr long long Pow[] = {1, 10, 100, 1000, 10000};
    const long long scale = Pow[decimals];
    long long n = std::llround(v * double(scale));
    if (n < 0) {
        b.append('-');
        n = -n;
    }
    appendInt(b, n / scale);
    long long frac = n % scale;
    if (frac == 0)
        return;
    int digits = decimals;
    while (frac % 10 == 0) {
        frac /= 10;
        --digits;
    }
    char tmp[8];
    for (int i = digits - 1; i >= 0; --i) {
        tmp[i] = char('0' + frac % 10);
        frac /= 10;
    }
    b.append('.');
    b.append(tmp, digits);
}

void appendHex4(QByteArray& b, quint32 v) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    const char out[4] = {Hex[(v >> 12) & 15], Hex[(v >> 8) & 15], Hex[(v >> 4) & 15], Hex[v & 15]};
    b.append(out, 4);
}

QByteArray utf16Hex(const QString& s) {
    QByteArray b;
    for (QChar c : s)
        appendHex4(b, c.unicode());
    return b;
}

QByteArray deflate(const QByteArray& data) {
    // qCompress puts the length in front of the zlib stream; PDF wants the stream.
    return qCompress(data, 1).mid(4);
}

quint16 be16(const QByteArray& t, int at) {
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(t.constData()) + at);
}
qint16 bes16(const QByteArray& t, int at) {
    return qint16(be16(t, at));
}
quint32 be32(const QByteArray& t, int at) {
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(t.constData()) + at);
}
void append32(QByteArray& b, quint32 v) {
    uchar x[4];
    qToBigEndian<quint32>(v, x);
    b.append(reinterpret_cast<const char*>(x), 4);
}
void append16(QByteArray& b, quint16 v) {
    uchar x[2];
    qToBigEndian<quint16>(v, x);
    b.append(reinterpret_cast<const char*>(x), 2);
}

// --- the font subset ----------------------------------------------------------

using Face = TextShaper::Face;

// The tables a viewer reads to draw and measure the glyphs of an embedded
// CID font; layout tables stay out, as the text comes already shaped.
constexpr char TrueTypeTables[][5] = {"head", "hhea", "hmtx", "maxp", "OS/2",
                                      "cvt ", "fpgm", "prep", "glyf", "loca"};
// An OpenType file with CFF outlines keeps the tables such a file must have.
constexpr char CffTables[][5] = {"head", "hhea", "hmtx", "maxp", "OS/2",
                                 "post", "name", "cmap", "CFF "};

// A font file of the given tables, for HarfBuzz to read: Qt hands out a
// face's tables, not its file. Checksums are left at zero; HarfBuzz
// writes its own into the subset.
QByteArray sfnt(quint32 version, const std::map<QByteArray, QByteArray>& tables) {
    const quint16 n = quint16(tables.size());
    quint16 power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log2;
    }
    QByteArray out;
    append32(out, version);
    append16(out, n);
    append16(out, quint16(power * 16));
    append16(out, log2);
    append16(out, quint16(n * 16 - power * 16));
    quint32 offset = 12 + 16 * n;
    QByteArray body;
    for (const auto& [tag, data] : tables) {
        out.append(tag);
        append32(out, 0);
        append32(out, offset + quint32(body.size()));
        append32(out, quint32(data.size()));
        body.append(data);
        while (body.size() % 4)
            body.append('\0');
    }
    return out + body;
}

// The face cut down to the glyphs the report uses by HarfBuzz's subsetter,
// glyph numbers kept (the page streams, widths and text map use them), so
// composite glyphs keep their components. Empty when it cannot be cut.
QByteArray subsetFont(const Face& face, const std::set<quint32>& used) {
    const bool cff = face.outlines == Face::Outlines::Cff;
    std::map<QByteArray, QByteArray> tables;
    const auto take = [&](const char* tag) {
        const QByteArray data = face.table(tag);
        if (!data.isEmpty())
            tables.emplace(QByteArray(tag, 4), data);
    };
    if (cff)
        std::for_each(std::begin(CffTables), std::end(CffTables), take);
    else
        std::for_each(std::begin(TrueTypeTables), std::end(TrueTypeTables), take);
    const QByteArray source = sfnt(cff ? 0x4F54544Fu /* OTTO */ : 0x00010000u, tables);
    hb_blob_t* blob = hb_blob_create(source.constData(), unsigned(source.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* from = hb_face_create(blob, 0);
    hb_blob_destroy(blob);
    QByteArray out;
    if (hb_subset_input_t* input = hb_subset_input_create_or_fail()) {
        hb_set_t* glyphs = hb_subset_input_glyph_set(input);
        for (quint32 g : used)
            hb_set_add(glyphs, g);
        if (cff) {
            // The OpenType file's own character map, for the glyphs it keeps.
            hb_set_t* unicodes = hb_subset_input_unicode_set(input);
            for (quint32 g : used) {
                auto it = face.texts.find(g);
                if (it != face.texts.end() && it->second.size() == 1)
                    hb_set_add(unicodes, it->second.at(0).unicode());
            }
        }
        hb_subset_input_set_flags(input,
                                  HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NOTDEF_OUTLINE);
        if (hb_face_t* subset = hb_subset_or_fail(from, input)) {
            hb_blob_t* file = hb_face_reference_blob(subset);
            unsigned length = 0;
            const char* data = hb_blob_get_data(file, &length);
            out = QByteArray(data, qsizetype(length));
            hb_blob_destroy(file);
            hb_face_destroy(subset);
        }
        hb_subset_input_destroy(input);
    }
    hb_face_destroy(from);
    return out;
}

// --- the document --------------------------------------------------------------

class Document {
public:
    Document(QIODevice& out) : m_out(out) {}

    int reserve() {
        m_offsets.push_back(-1);
        return int(m_offsets.size()) - 1; // object numbers start at 1
    }
    void begin(int object) {
        m_offsets[size_t(object)] = m_pos + m_buf.size();
        appendInt(m_buf, object + 1);
        m_buf.append(" 0 obj\n");
    }
    void end() { m_buf.append("endobj\n"); }
    void object(int object, const QByteArray& body) {
        begin(object);
        m_buf.append(body);
        m_buf.append('\n');
        end();
    }
    void stream(int object, const QByteArray& data, const QByteArray& extra = {}) {
        begin(object);
        m_buf.append("<< /Length ");
        appendInt(m_buf, data.size());
        m_buf.append(" /Filter /FlateDecode ");
        m_buf.append(extra);
        m_buf.append(">>\nstream\n");
        m_buf.append(data);
        m_buf.append("\nendstream\n");
        end();
        flushIfLarge();
    }
    QByteArray& raw() { return m_buf; }
    static QByteArray ref(int object) { return QByteArray::number(object + 1) + " 0 R"; }

    bool flush() {
        if (m_buf.isEmpty())
            return true;
        if (m_out.write(m_buf) != m_buf.size())
            return false;
        m_pos += m_buf.size();
        m_buf.clear();
        return true;
    }
    void flushIfLarge() {
        if (m_buf.size() > (1 << 20))
            m_ok = flush() && m_ok;
    }
    bool ok() const { return m_ok; }

    bool finish(int root, int info) {
        const qint64 xref = m_pos + m_buf.size();
        m_buf.append("xref\n0 ");
        appendInt(m_buf, qint64(m_offsets.size()) + 1);
        m_buf.append("\n0000000000 65535 f \n");
        char line[24];
        for (qint64 off : m_offsets) {
            std::snprintf(line, sizeof line, "%010lld 00000 n \n", (long long)off);
            m_buf.append(line, 20);
            flushIfLarge();
        }
        m_buf.append("trailer\n<< /Size ");
        appendInt(m_buf, qint64(m_offsets.size()) + 1);
        m_buf.append(" /Root " + ref(root) + " /Info " + ref(info) + " >>\nstartxref\n");
        appendInt(m_buf, xref);
        m_buf.append("\n%%EOF\n");
        return flush() && m_ok;
    }

private:
    QIODevice& m_out;
    QByteArray m_buf;
    qint64 m_pos = 0;
    std::vector<qint64> m_offsets;
    bool m_ok = true;
};

struct FontUse {
    std::vector<quint8> used; // by glyph
    int object = -1;          // the Type0 font
    void add(quint32 g) {
        if (g >= used.size())
            used.resize(std::max<size_t>(g + 1, used.size() * 2), 0);
        used[g] = 1;
    }
    std::set<quint32> glyphs() const {
        std::set<quint32> out;
        for (size_t g = 0; g < used.size(); ++g) {
            if (used[g])
                out.insert(quint32(g));
        }
        return out;
    }
};

QByteArray pdfName(const QString& s) {
    QByteArray out;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-')
            out.append(char(u));
    }
    return out.isEmpty() ? QByteArray("Font") : out;
}

struct FaceObjects {
    QByteArray name;
    int descriptor = -1, toUnicode = -1;
    bool cff = false;
};

// The font program, its descriptor and its text map, shared by every size.
// False when the font cannot be cut down.
bool writeFace(Document& doc, const TextShaper::Face& face, int index,
               const std::set<quint32>& glyphs, FaceObjects& out) {
    const QByteArray program = subsetFont(face, glyphs);
    if (program.isEmpty())
        return false;
    const QByteArray head = face.table("head"), hhea = face.table("hhea"), os2 = face.table("OS/2"),
                     post = face.table("post");
    const double k = 1000.0 / face.unitsPerEm;
    // A tag of six capitals marks a subset; it differs per font of the file.
    QByteArray tag;
    quint32 seed = quint32(index + 1) * 2654435761u ^ quint32(qHash(face.family + face.style));
    for (int i = 0; i < 6; ++i) {
        tag.append(char('A' + seed % 26));
        seed /= 26;
    }
    out.cff = face.outlines == Face::Outlines::Cff;
    // Qt names a family that two foundries make "Family [Foundry]".
    const QString family = face.family.section(QStringLiteral(" ["), 0, 0);
    out.name = tag + '+' + pdfName(family) +
               (face.style.isEmpty() ? QByteArray() : '-' + pdfName(face.style));
    out.descriptor = doc.reserve();
    out.toUnicode = doc.reserve();
    const int file = doc.reserve();

    const int ascent = hhea.size() >= 8 ? int(bes16(hhea, 4) * k) : 800;
    const int descent = hhea.size() >= 8 ? int(bes16(hhea, 6) * k) : -200;
    const int capHeight = os2.size() >= 90 && be16(os2, 0) >= 2 ? int(bes16(os2, 88) * k) : ascent;
    const double italicAngle = post.size() >= 8 ? qint32(be32(post, 4)) / 65536.0 : 0.0;
    QByteArray d = "<< /Type /FontDescriptor /FontName /" + out.name + " /Flags " +
                   QByteArray::number(32 | (face.italic ? 64 : 0)) + " /FontBBox [";
    for (int at : {36, 38, 40, 42}) {
        appendInt(d, std::lround(bes16(head, at) * k));
        d.append(at == 42 ? "]" : " ");
    }
    d += " /ItalicAngle ";
    appendNum(d, italicAngle);
    d += " /Ascent " + QByteArray::number(ascent) + " /Descent " + QByteArray::number(descent) +
         " /CapHeight " + QByteArray::number(capHeight) + " /StemV 80 " +
         (out.cff ? "/FontFile3 " : "/FontFile2 ") + Document::ref(file) + " >>";
    doc.object(out.descriptor, d);
    // CFF outlines go in their OpenType file (PDF 1.6), TrueType as is.
    doc.stream(file, deflate(program),
               out.cff ? QByteArray("/Subtype /OpenType ")
                       : "/Length1 " + QByteArray::number(program.size()) + ' ');

    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<quint32, QString>> known;
    for (quint32 g : glyphs) {
        auto it = face.texts.find(g);
        if (it != face.texts.end())
            known.emplace_back(g, it->second);
    }
    for (size_t i = 0; i < known.size(); i += 100) {
        const size_t n = std::min<size_t>(100, known.size() - i);
        cmap += QByteArray::number(qulonglong(n)) + " beginbfchar\n";
        for (size_t j = i; j < i + n; ++j) {
            cmap += '<';
            appendHex4(cmap, known[j].first);
            cmap += "> <" + utf16Hex(known[j].second) + ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    doc.stream(out.toUnicode, deflate(cmap));
    return true;
}

// The font of one size: its widths are the advances the text was placed with.
void writeSized(Document& doc, TextShaper& shaper, int sized, const FontUse& use,
                const FaceObjects& face) {
    const float size = shaper.sized(sized).pixelSize;
    const int cid = doc.reserve();
    doc.object(use.object, "<< /Type /Font /Subtype /Type0 /BaseFont /" + face.name +
                               " /Encoding /Identity-H /DescendantFonts [" + Document::ref(cid) +
                               "] /ToUnicode " + Document::ref(face.toUnicode) + " >>");
    QByteArray widths = "[";
    quint32 previous = 0xffffffffu;
    for (quint32 g : use.glyphs()) {
        if (g != previous + 1) {
            if (previous != 0xffffffffu)
                widths.append("] ");
            appendInt(widths, g);
            widths.append(" [");
        } else {
            widths.append(' ');
        }
        appendNum(widths, shaper.advance(sized, g) * 1000.0 / size, 3);
        previous = g;
    }
    if (previous != 0xffffffffu)
        widths.append(']');
    widths.append(']');
    // Glyph numbers are the CIDs: a CFF font that is not CID-keyed takes
    // them as its glyph numbers, a TrueType font through the identity map.
    doc.object(cid, "<< /Type /Font /Subtype " +
                        (face.cff ? QByteArray("/CIDFontType0") : QByteArray("/CIDFontType2")) +
                        " /BaseFont /" + face.name +
                        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 "
                        ">> /FontDescriptor " +
                        Document::ref(face.descriptor) +
                        (face.cff ? QByteArray() : QByteArray(" /CIDToGIDMap /Identity")) + " /W " +
                        widths + " >>");
}

// Writes the drawing operators of a page or of a block that pages share.
class PageWriter {
public:
    PageWriter(const PageModel& model, TextShaper& shaper, std::vector<FontUse>& fonts)
        : m_model(model), m_shaper(shaper), m_fonts(fonts) {}

    // The drawing operators of `items` of page `page` (page numbers are
    // never in a shared block).
    void write(int page, std::span<const PageItem> items, QByteArray& b) {
        b.clear();
        m_paths.clear();
        const double k = PageModel::mmToRef(1.0);
        // Reference pixels, y downwards, as the page model and QPainter use.
        b.append("0.1 0 0 -0.1 0 ");
        appendNum(b, m_model.paperMm.height() * 72.0 / 25.4, 3);
        b.append(" cm\n0 0 0 RG 0 0 0 rg 2 J 2 j\n");
        // Shapes first: they are only stroked, so the order does not show.
        double width = -1;
        for (const PageItem& it : items) {
            if (it.kind != PageItem::Rect && it.kind != PageItem::Line)
                continue;
            const double w = it.style * 0.01 * k;
            if (w != width) {
                appendNum(b, w);
                b.append(" w\n");
                width = w;
            }
            appendNum(b, it.x * k);
            b.append(' ');
            appendNum(b, it.y * k);
            if (it.kind == PageItem::Rect) {
                b.append(' ');
                appendNum(b, it.w * k);
                b.append(' ');
                appendNum(b, it.h * k);
                b.append(" re S\n");
            } else {
                b.append(" m ");
                appendNum(b, (it.x + it.w) * k);
                b.append(' ');
                appendNum(b, (it.y + it.h) * k);
                b.append(" l S\n");
            }
        }
        b.append("BT\n");
        int current = -1;
        for (const PageItem& it : items) {
            if (it.kind != PageItem::Text && it.kind != PageItem::PageNumberText)
                continue;
            const QFont& font = m_model.font(it.style);
            if (it.kind == PageItem::Text)
                m_shaper.shape(m_model.stringView(it.text), font, m_line);
            else
                m_shaper.shape(m_model.itemText(page, it), font, m_line);
            if (m_line.glyphs.empty())
                continue;
            const double x0 = PagePainter::lineLeft(it, m_line.advance, k);
            const double top = it.y * k;
            for (const TextShaper::Run& run : m_line.runs) {
                const TextShaper::Sized& sized = m_shaper.sized(run.sized);
                if (m_shaper.face(sized.face).outlines == Face::Outlines::None) {
                    writeOutlines(run, x0, top + run.baseline);
                    continue;
                }
                if (run.sized != current) {
                    current = run.sized;
                    if (m_fonts.size() <= size_t(current))
                        m_fonts.resize(size_t(current) + 1);
                    b.append("/F");
                    appendInt(b, current);
                    b.append(' ');
                    appendNum(b, sized.pixelSize, 3);
                    b.append(" Tf\n");
                }
                FontUse& use = m_fonts[size_t(current)];
                b.append("1 0 0 -1 ");
                appendNum(b, x0 + m_line.x[run.first]);
                b.append(' ');
                appendNum(b, top + run.baseline);
                b.append(" Tm ");
                writeGlyphs(b, run, use);
            }
        }
        b.append("ET\n");
        b.append(m_paths);
    }

private:
    // A font with no outlines a PDF can embed (Type 1, variable CFF2): its
    // glyphs are filled as paths. The page shows them; the text cannot be
    // copied out.
    void writeOutlines(const TextShaper::Run& run, double x0, double baseline) {
        const TextShaper::Sized& sized = m_shaper.sized(run.sized);
        for (size_t i = run.first; i < run.first + run.count; ++i) {
            const quint32 g = m_line.glyphs[i];
            QByteArray& path = m_outlines[(quint64(run.sized) << 32) | g];
            if (path.isNull()) {
                path = "";
                const QPainterPath outline = sized.raw.pathForGlyph(g);
                for (int e = 0; e < outline.elementCount(); ++e) {
                    const QPainterPath::Element el = outline.elementAt(e);
                    appendNum(path, el.x);
                    path.append(' ');
                    appendNum(path, el.y);
                    if (el.isMoveTo())
                        path.append(" m\n");
                    else if (el.isLineTo())
                        path.append(" l\n");
                    else if (el.type == QPainterPath::CurveToDataElement &&
                             (e + 1 == outline.elementCount() ||
                              outline.elementAt(e + 1).type != QPainterPath::CurveToDataElement))
                        path.append(" c\n"); // the curve's end point
                    else
                        path.append(' ');
                }
            }
            if (path.isEmpty())
                continue;
            m_paths.append("q 1 0 0 1 ");
            appendNum(m_paths, x0 + m_line.x[i]);
            m_paths.append(' ');
            appendNum(m_paths, baseline);
            m_paths.append(" cm\n");
            m_paths.append(path);
            m_paths.append("f Q\n");
        }
    }

    void writeGlyphs(QByteArray& b, const TextShaper::Run& run, FontUse& use) {
        const float size = m_shaper.sized(run.sized).pixelSize;
        // Where the viewer puts each glyph is the previous one plus its
        // width; where that differs from the shaped place, a TJ step moves it.
        m_tj.clear();
        m_tj.append("[<");
        bool adjusted = false;
        double expected = m_line.x[run.first];
        for (size_t i = run.first; i < run.first + run.count; ++i) {
            const quint32 g = m_line.glyphs[i];
            const double diff = m_line.x[i] - expected;
            if (std::abs(diff) > 0.01) {
                m_tj.append("> ");
                appendNum(m_tj, -diff / size * 1000.0, 2);
                m_tj.append(" <");
                adjusted = true;
                expected = m_line.x[i];
            }
            appendHex4(m_tj, g);
            use.add(g);
            expected += m_shaper.advance(run.sized, g);
        }
        if (adjusted) {
            m_tj.append(">] TJ\n");
            b.append(m_tj);
        } else {
            b.append(m_tj.constData() + 1, m_tj.size() - 1);
            b.append("> Tj\n");
        }
    }

    const PageModel& m_model;
    TextShaper& m_shaper;
    std::vector<FontUse>& m_fonts;
    TextShaper::ShapedText m_line;
    QByteArray m_tj, m_paths;
    std::unordered_map<quint64, QByteArray> m_outlines;
};

} // namespace

PdfOutput::Result PdfOutput::write(const PageModel& model, QIODevice& out, QString* error,
                                   const Progress& progress) {
    error->clear();
    Document doc(out);
    const int catalog = doc.reserve(), pages = doc.reserve(), resources = doc.reserve(),
              info = doc.reserve();
    doc.raw().append("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");

    TextShaper shaper;
    std::vector<FontUse> fonts;
    PageWriter writer(model, shaper, fonts);
    QByteArray mediaBox = "[0 0 ";
    appendNum(mediaBox, model.paperMm.width() * 72.0 / 25.4, 3);
    mediaBox.append(' ');
    appendNum(mediaBox, model.paperMm.height() * 72.0 / 25.4, 3);
    mediaBox.append(']');
    QByteArray content, kids, blockNames;
    // A block that pages share is written once, as a form they invoke.
    std::vector<int> blocks(size_t(model.blockCount()), -1);
    int blockResources = -1;
    const int total = std::max(1, model.pageCount());
    for (int i = 0; i < model.pageCount(); ++i) {
        const int block = model.pageBlock(i);
        if (block >= 0 && blocks[size_t(block)] < 0) {
            if (blockResources < 0)
                blockResources = doc.reserve();
            writer.write(i, model.block(block), content);
            blocks[size_t(block)] = doc.reserve();
            doc.stream(blocks[size_t(block)], deflate(content),
                       "/Type /XObject /Subtype /Form /BBox " + mediaBox + " /Resources " +
                           Document::ref(blockResources) + ' ');
            blockNames +=
                "/B" + QByteArray::number(block) + ' ' + Document::ref(blocks[size_t(block)]) + ' ';
        }
        writer.write(i, model.ownItems(i), content);
        if (block >= 0)
            content.prepend("/B" + QByteArray::number(block) + " Do\n");
        const int stream = doc.reserve(), page = doc.reserve();
        doc.stream(stream, deflate(content));
        doc.object(page, "<< /Type /Page /Parent " + Document::ref(pages) + " /Resources " +
                             Document::ref(resources) + " /MediaBox " + mediaBox + " /Contents " +
                             Document::ref(stream) + " >>");
        kids += Document::ref(page) + ' ';
        if (!doc.ok())
            break;
        if (progress && !progress(i + 1, total))
            return Result::Cancelled;
    }
    doc.object(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                          QByteArray::number(model.pageCount()) + " >>");
    kids.clear();
    QByteArray fontDict = "<< /ProcSet [/PDF /Text] /Font << ";
    for (size_t f = 0; f < fonts.size(); ++f) {
        if (fonts[f].used.empty())
            continue;
        fonts[f].object = doc.reserve();
        fontDict +=
            "/F" + QByteArray::number(qulonglong(f)) + ' ' + Document::ref(fonts[f].object) + ' ';
    }
    fontDict += ">>";
    if (blockResources >= 0)
        doc.object(blockResources, fontDict + " >>");
    if (!blockNames.isEmpty())
        fontDict += " /XObject << " + blockNames + ">>";
    doc.object(resources, fontDict + " >>");
    // Each font file once, with the glyphs of all its sizes.
    std::vector<std::set<quint32>> faceGlyphs(size_t(shaper.faceCount()));
    for (size_t f = 0; f < fonts.size(); ++f) {
        if (fonts[f].object >= 0)
            faceGlyphs[size_t(shaper.sized(int(f)).face)].merge(fonts[f].glyphs());
    }
    std::vector<FaceObjects> faces(faceGlyphs.size());
    bool openType = false;
    for (size_t face = 0; face < faceGlyphs.size(); ++face) {
        if (faceGlyphs[face].empty())
            continue;
        const Face& f = shaper.face(int(face));
        if (!writeFace(doc, f, int(face), faceGlyphs[face], faces[face])) {
            *error =
                QStringLiteral("Fontul \"%1\" nu poate fi inclus in fisierul PDF.")
                    .arg(f.family + (f.style.isEmpty() ? QString() : QLatin1Char(' ') + f.style));
            return Result::Failed;
        }
        openType = openType || faces[face].cff;
    }
    for (size_t f = 0; f < fonts.size(); ++f) {
        if (fonts[f].object >= 0)
            writeSized(doc, shaper, int(f), fonts[f], faces[size_t(shaper.sized(int(f)).face)]);
    }
    // An OpenType font file needs PDF 1.6; the catalog's version says so
    // where the header, written first, cannot.
    doc.object(catalog, "<< /Type /Catalog /Pages " + Document::ref(pages) +
                            (openType ? QByteArray(" /Version /1.6") : QByteArray()) + " >>");
    const QString app = QCoreApplication::applicationName().isEmpty()
                            ? QStringLiteral("Tombrix")
                            : QCoreApplication::applicationName();
    doc.object(
        info,
        "<< /Title <FEFF" + utf16Hex(model.title) + "> /Creator <FEFF" + utf16Hex(app) +
            "> /Producer <FEFF" + utf16Hex(app) + "> /CreationDate (D:" +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
            "Z) >>");
    if (!doc.finish(catalog, info)) {
        *error = SystemError::romanian(out.errorString());
        return Result::Failed;
    }
    return Result::Written;
}

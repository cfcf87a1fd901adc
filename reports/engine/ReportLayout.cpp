#include "ReportLayout.h"

#include "Clock.h"
#include "TextShaper.h"
#include "Values.h"

#include <QFontMetricsF>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace {

constexpr double Eps = 0.001;
constexpr double NoLimit = std::numeric_limits<double>::max();

// A rendered band: items with y measured from the band's top.
struct Fragment {
    std::vector<PageItem> items;
    std::vector<bool> fixed; // by item: the same whatever the row
    double height = 0;
};

// Elements whose items do not depend on the row or the page.
bool rowIndependent(const Element& e) {
    switch (e.kind) {
    case ElementKind::Label:
        return !e.onPrint;
    case ElementKind::DataText:
    case ElementKind::PageNumber:
    case ElementKind::Total:
        return false;
    default:
        return true;
    }
}

struct FontEntry {
    quint16 id = 0;
    QFont font;
    QFontMetricsF metrics;
    double lineMm = 0;
    // Advances of the common characters, filled on first use: enough to see
    // that a text fits its width without shaping it.
    std::vector<double> advances;
};

QString defaultFormat(const QVariant& v) {
    if (v.isNull() || !v.isValid())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return Values::dateToText(v.toDate());
    case QMetaType::QDateTime:
        return Values::dateToText(v.toDateTime().date());
    case QMetaType::Double:
    case QMetaType::Float:
        return Values::numberToText(v.toDouble());
    default:
        return v.toString();
    }
}

void breakWord(const QString& word, const QFontMetricsF& fm, double width, QStringList& out,
               QString& line) {
    // A word wider than the whole width is cut between characters.
    for (QChar c : word) {
        if (!line.isEmpty() && fm.horizontalAdvance(line + c) > width) {
            out << line;
            line.clear();
        }
        line += c;
    }
}

constexpr char16_t CommonChars = TextShaper::TableChars;

const std::vector<double>& advancesOf(FontEntry& fe) {
    if (fe.advances.empty()) {
        fe.advances.resize(CommonChars);
        for (char16_t c = 0; c < CommonChars; ++c)
            fe.advances[c] = fe.metrics.horizontalAdvance(QChar(c));
        // Control characters are never taken as fitting.
        for (char16_t c = 0; c < 0x20; ++c)
            fe.advances[c] = 1e9;
    }
    return fe.advances;
}

} // namespace

QFont ReportLayout::referenceFont(const QFont& pointFont) {
    QFont f = pointFont;
    double pt = pointFont.pointSizeF();
    if (pt <= 0)
        pt = pointFont.pixelSize() > 0 ? pointFont.pixelSize() * 72.0 / 96.0 : 8.0;
    f.setPixelSize(std::max(1, int(std::lround(pt * PageModel::ReferenceDpi / 72.0))));
    f.setHintingPreference(QFont::PreferNoHinting);
    // Every output places glyphs by their own advances (TextShaper).
    f.setKerning(false);
    return f;
}

namespace {

// The sum of the characters' own advances, or -1 when a character is not
// in the table.
double roughWidth(const std::vector<double>& advances, QStringView text) {
    double sum = 0;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c >= advances.size())
            return -1;
        sum += advances[c];
    }
    return sum;
}

bool roughlyFits(double rough, double widthPx) {
    return rough >= 0 && rough * 1.05 + 2 <= widthPx;
}

// `advances` may be empty: then every candidate line is measured.
QStringList breakText(const QString& text, const QFontMetricsF& fm,
                      const std::vector<double>& advances, double widthPx) {
    QStringList out;
    QString normalized = text;
    normalized.remove(QLatin1Char('\r'));
    const QStringList paragraphs = normalized.split(QLatin1Char('\n'));
    const double space = advances.size() > ' ' ? advances[' '] : 0;
    for (const QString& par : paragraphs) {
        if (roughlyFits(roughWidth(advances, par), widthPx) ||
            fm.horizontalAdvance(par) <= widthPx) {
            out << par;
            continue;
        }
        QString line;
        double lineRough = 0; // -1 once unknown
        const QStringList words = par.split(QLatin1Char(' '));
        for (const QString& word : words) {
            const double wordRough = roughWidth(advances, word);
            const double candRough = lineRough < 0 || wordRough < 0 ? -1
                                     : line.isEmpty()               ? wordRough
                                                                    : lineRough + space + wordRough;
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (roughlyFits(candRough, widthPx) || fm.horizontalAdvance(candidate) <= widthPx) {
                line = candidate;
                lineRough = candRough;
                continue;
            }
            if (!line.isEmpty())
                out << line;
            line.clear();
            if (roughlyFits(wordRough, widthPx) || fm.horizontalAdvance(word) <= widthPx) {
                line = word;
                lineRough = wordRough;
            } else {
                breakWord(word, fm, widthPx, out, line);
                lineRough = roughWidth(advances, line);
            }
        }
        out << line;
    }
    return out;
}

} // namespace

QStringList ReportLayout::breakLines(const QString& text, const QFont& referenceFont,
                                     double widthPx) {
    return breakText(text, QFontMetricsF(referenceFont), {}, widthPx);
}

class LayoutPass {
public:
    LayoutPass(const ReportDefinition& def, RowSource& rows, const LayoutProgress& progress)
        : m_def(def), m_rows(rows), m_progress(progress) {}

    std::unique_ptr<PageModel> run();

private:
    bool render(const Band& band, bool isDetail, Fragment& out);
    void renderText(const Element& e, const QString& text, PageItem::Kind kind, double shift,
                    std::vector<PageItem>& items, double* contentMm);
    void placeBody(const Band& band, bool isDetail);
    void placeFixed(const Band& band);
    void fit(const Fragment& f);
    void put(const Fragment& f, double pageY, double from, double to);
    void openPage();
    void closePage();
    void newPage() {
        closePage();
        openPage();
    }
    FontEntry& fontOf(const Element& e);
    void collectTotals(const Band& band);

    const ReportDefinition& m_def;
    RowSource& m_rows;
    const LayoutProgress& m_progress;
    std::unique_ptr<PageModel> m_model;

    QStringList m_names;
    QVariantList m_cur, m_prev;
    PrintContext m_ctx;

    std::vector<const Element*> m_totalElements;
    std::vector<int> m_totalField;
    std::vector<double> m_totals;
    std::unordered_map<const Element*, size_t> m_totalIndex;
    std::unordered_map<const Element*, size_t> m_fontIndex;
    // An element's text as last broken into lines, and the lines' strings.
    struct BrokenText {
        bool valid = false;
        QString text;
        QStringList lines;
        std::vector<quint32> ids;
    };
    std::unordered_map<const Element*, BrokenText> m_broken;
    std::vector<FontEntry> m_fonts;
    std::unordered_map<const Element*, int> m_fieldOf;
    std::vector<size_t> m_order;
    std::vector<double> m_shift, m_growth;
    std::vector<std::vector<PageItem>> m_texts;
    std::vector<PageItem> m_form; // the open page's row-independent items

    int fieldOf(const Element& e) {
        auto it = m_fieldOf.find(&e);
        if (it == m_fieldOf.end())
            it = m_fieldOf.emplace(&e, int(m_names.indexOf(e.field))).first;
        return it->second;
    }

    bool m_pageOpen = false;
    bool m_hasBody = false;
    int m_pageNo = 0;
    double m_y = 0, m_bodyBottom = 0, m_headerBottom = 0;
};

FontEntry& LayoutPass::fontOf(const Element& e) {
    auto it = m_fontIndex.find(&e);
    if (it != m_fontIndex.end())
        return m_fonts[it->second];
    const QFont ref = ReportLayout::referenceFont(e.font.value_or(m_def.baseFont));
    const quint16 id = m_model->addFont(ref);
    size_t slot = m_fonts.size();
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i].id == id)
            slot = i;
    }
    if (slot == m_fonts.size()) {
        FontEntry fe{id, ref, QFontMetricsF(ref), 0, {}};
        fe.lineMm = PageModel::refToMm(fe.metrics.lineSpacing());
        m_fonts.push_back(fe);
    }
    m_fontIndex.emplace(&e, slot);
    return m_fonts[slot];
}

void LayoutPass::collectTotals(const Band& band) {
    for (const Element& e : band.elements) {
        if (e.kind == ElementKind::Total) {
            m_totalIndex.emplace(&e, m_totalElements.size());
            m_totalElements.push_back(&e);
            m_totalField.push_back(int(m_names.indexOf(e.field)));
            m_totals.push_back(0);
        }
    }
    for (const Band& c : band.children)
        collectTotals(c);
}

void LayoutPass::renderText(const Element& e, const QString& text, PageItem::Kind kind,
                            double shift, std::vector<PageItem>& items, double* contentMm) {
    FontEntry& fe = fontOf(e);
    // The fixed texts of a band (a decision's form and memos) come back
    // unchanged on every page: they are broken into lines once.
    BrokenText& cached = m_broken[&e];
    if (!cached.valid || cached.text != text) {
        cached.text = text;
        const double widthPx = PageModel::mmToRef(e.width);
        if (!(e.wordWrap || e.stretch))
            cached.lines = text.split(QLatin1Char('\n'));
        else if (roughlyFits(roughWidth(advancesOf(fe), text), widthPx))
            cached.lines = QStringList{text}; // most cells fit: no need to shape them
        else
            cached.lines = breakText(text, fe.metrics, advancesOf(fe), widthPx);
        cached.ids.clear();
        cached.valid = true;
    }
    QStringList lines = cached.lines;
    if (!e.stretch && lines.size() > 1) {
        // A fixed box keeps the lines it has room for.
        const qsizetype room = std::max<qsizetype>(1, qsizetype((e.height + Eps) / fe.lineMm));
        if (lines.size() > room)
            lines.resize(room);
    }
    *contentMm = lines.size() * fe.lineMm;
    if (cached.ids.size() != size_t(lines.size())) {
        cached.ids.clear();
        for (const QString& l : std::as_const(lines))
            cached.ids.push_back(m_model->addString(l));
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty() && kind == PageItem::Text)
            continue;
        PageItem it;
        it.kind = kind;
        it.x = float(e.left);
        it.y = float(e.top + shift + i * fe.lineMm);
        it.w = float(e.width);
        it.h = float(fe.lineMm);
        it.text = cached.ids[size_t(i)];
        it.style = fe.id;
        it.align = quint8(e.align);
        items.push_back(it);
    }
}

bool LayoutPass::render(const Band& band, bool isDetail, Fragment& out) {
    m_ctx.m_page = std::max(1, m_pageNo);
    if (band.beforePrint && !band.beforePrint(m_ctx))
        return false;
    if (isDetail) {
        // Only printed details count.
        for (size_t i = 0; i < m_totals.size(); ++i) {
            if (m_totalField[i] >= 0)
                m_totals[i] += m_cur.value(m_totalField[i]).toDouble();
        }
    }
    const size_t n = band.elements.size();
    // Push-down: an element lying below a stretching one moves down by
    // that one's growth (and by whatever pushed it in turn).
    std::vector<size_t>& order = m_order;
    order.resize(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return band.elements[a].top < band.elements[b].top;
    });
    // Scratch space kept between bands: a long report renders millions.
    std::vector<double>& shift = m_shift;
    std::vector<double>& growth = m_growth;
    shift.assign(n, 0);
    growth.assign(n, 0);
    std::vector<std::vector<PageItem>>& texts = m_texts;
    if (texts.size() < n)
        texts.resize(n);
    for (size_t i = 0; i < n; ++i)
        texts[i].clear();
    double bottom = band.height;
    for (size_t oi = 0; oi < n; ++oi) {
        const size_t i = order[oi];
        const Element& e = band.elements[i];
        for (size_t oj = 0; oj < oi; ++oj) {
            const size_t j = order[oj];
            const Element& above = band.elements[j];
            if (growth[j] + shift[j] > 0 && above.top + above.height <= e.top + Eps)
                shift[i] = std::max(shift[i], shift[j] + growth[j]);
        }
        QString text;
        PageItem::Kind kind = PageItem::Text;
        bool isText = true;
        switch (e.kind) {
        case ElementKind::Label:
            text = e.text;
            if (e.onPrint)
                e.onPrint(text, m_ctx);
            break;
        case ElementKind::DataText: {
            const QVariant v = e.valueOf ? e.valueOf(m_ctx) : m_ctx.m_row->value(fieldOf(e));
            text = e.format ? e.format(v) : ReportLayout::defaultText(v);
            break;
        }
        case ElementKind::SystemDate:
            text = Values::dateToText(Clock::today());
            break;
        case ElementKind::PageNumber:
            text = e.text;
            kind = PageItem::PageNumberText;
            break;
        case ElementKind::Total: {
            const size_t t = m_totalIndex.at(&e);
            text = Values::moneyToText(m_totals[t]);
            if (e.resetAfterPrint)
                m_totals[t] = 0;
            break;
        }
        case ElementKind::Memo:
            text = e.text;
            break;
        default:
            isText = false;
        }
        if (isText) {
            double content = 0;
            renderText(e, text, kind, shift[i], texts[i], &content);
            if (e.stretch)
                growth[i] = std::max(0.0, content - e.height);
        }
        if (shift[i] + growth[i] > 0)
            bottom = std::max(bottom, e.top + e.height + shift[i] + growth[i]);
    }
    out.height = bottom;
    const double bandGrowth = bottom - band.height;
    for (size_t i = 0; i < n; ++i) {
        const Element& e = band.elements[i];
        out.items.insert(out.items.end(), texts[i].begin(), texts[i].end());
        PageItem s;
        s.style = quint16(std::lround(e.penWidth * 100));
        const double extra = e.stretch ? bandGrowth : 0;
        const double top = e.top + shift[i];
        switch (e.kind) {
        case ElementKind::Rectangle:
            s.kind = PageItem::Rect;
            s.x = float(e.left), s.y = float(top), s.w = float(e.width),
            s.h = float(e.height + extra);
            out.items.push_back(s);
            break;
        case ElementKind::VLine:
            s.kind = PageItem::Line;
            s.x = float(e.left), s.y = float(top), s.w = 0, s.h = float(e.height + extra);
            out.items.push_back(s);
            break;
        case ElementKind::HLine:
            s.kind = PageItem::Line;
            s.x = float(e.left), s.y = float(top + extra), s.w = float(e.width), s.h = 0;
            out.items.push_back(s);
            break;
        case ElementKind::Grid: {
            if (e.gridColumns <= 0 || e.gridRowHeights.empty())
                break;
            s.kind = PageItem::Rect;
            s.x = float(e.left), s.y = float(top), s.w = float(e.width), s.h = float(e.height);
            out.items.push_back(s);
            const double cw = e.width / e.gridColumns;
            double sum = 0;
            for (double h : e.gridRowHeights)
                sum += h;
            const double scale = sum > 0 ? e.height / sum : 1;
            s.kind = PageItem::Line;
            for (int c = 1; c < e.gridColumns; ++c) {
                s.x = float(e.left + c * cw), s.y = float(top), s.w = 0, s.h = float(e.height);
                out.items.push_back(s);
            }
            const FontEntry& fe = fontOf(e);
            double rowTop = top;
            for (size_t r = 0; r < e.gridRowHeights.size(); ++r) {
                const double rh = e.gridRowHeights[r] * scale;
                if (r > 0) {
                    s.x = float(e.left), s.y = float(rowTop), s.w = float(e.width), s.h = 0;
                    out.items.push_back(s);
                }
                for (int c = 0; c < e.gridColumns; ++c) {
                    const size_t cell = r * size_t(e.gridColumns) + size_t(c);
                    if (cell >= e.gridCells.size() || e.gridCells[cell].isEmpty())
                        continue;
                    PageItem t;
                    t.kind = PageItem::Text;
                    t.x = float(e.left + c * cw + 0.8);
                    t.y = float(rowTop + std::max(0.0, (rh - fe.lineMm) / 2));
                    t.w = float(cw - 1.6);
                    t.h = float(fe.lineMm);
                    t.text = m_model->addString(e.gridCells[cell]);
                    t.style = fe.id;
                    t.align = quint8(e.align);
                    out.items.push_back(t);
                }
                rowTop += rh;
            }
            break;
        }
        default:
            break;
        }
        out.fixed.resize(out.items.size(), rowIndependent(e));
    }
    return true;
}

void LayoutPass::put(const Fragment& f, double pageY, double from, double to) {
    for (size_t i = 0; i < f.items.size(); ++i) {
        PageItem it = f.items[i];
        if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText) {
            if (it.y < from - Eps || it.y >= to - Eps)
                continue;
        } else {
            double top = it.y, bottom = it.y + it.h;
            if (it.kind == PageItem::Line && it.h == 0) {
                if (top < from - Eps || top >= to - Eps)
                    continue;
            } else {
                top = std::max(top, from);
                bottom = std::min(bottom, to);
                if (bottom <= top + Eps)
                    continue;
                it.y = float(top);
                it.h = float(bottom - top);
            }
        }
        it.x = float(it.x + m_def.marginsMm.left());
        it.y = float(it.y + pageY);
        if (m_def.sharedForm && f.fixed[i])
            m_form.push_back(it);
        else
            m_model->add(it);
    }
}

void LayoutPass::openPage() {
    m_model->startPage();
    ++m_pageNo;
    m_ctx.m_page = m_pageNo;
    m_pageOpen = true;
    m_hasBody = false;
    const QSizeF paper = m_def.paperMm();
    m_y = m_def.marginsMm.top();
    // The footer's room is taken before anything else goes on the page.
    m_bodyBottom = paper.height() - m_def.marginsMm.bottom() -
                   (m_def.pageFooter ? m_def.pageFooter->height : 0);
    if (m_def.pageHeader)
        placeFixed(*m_def.pageHeader);
    if (m_def.columnHeader)
        placeFixed(*m_def.columnHeader);
    m_headerBottom = m_y;
}

void LayoutPass::closePage() {
    if (!m_pageOpen)
        return;
    if (m_def.pageFooter) {
        Fragment f;
        if (render(*m_def.pageFooter, false, f))
            put(f, m_bodyBottom, 0, NoLimit);
    }
    // The page's form goes in as a block, shared with every page whose
    // form came out the same.
    if (!m_form.empty())
        m_model->setPageBlock(m_model->addBlock(m_form));
    m_form.clear();
    m_pageOpen = false;
}

void LayoutPass::placeFixed(const Band& band) {
    Fragment f;
    if (!render(band, false, f))
        return;
    put(f, m_y, 0, std::max(0.0, m_bodyBottom - m_y));
    m_y = std::min(m_y + f.height, m_bodyBottom);
    if (band.afterPrint)
        band.afterPrint(m_ctx);
    for (const Band& c : band.children)
        placeFixed(c);
}

void LayoutPass::placeBody(const Band& band, bool isDetail) {
    Fragment f;
    if (!render(band, isDetail, f))
        return;
    if (!m_pageOpen)
        openPage();
    else if (band.forceNewPage && m_hasBody)
        newPage();
    fit(f);
    if (band.afterPrint)
        band.afterPrint(m_ctx);
    for (const Band& c : band.children)
        placeBody(c, false);
}

void LayoutPass::fit(const Fragment& f) {
    if (m_y + f.height <= m_bodyBottom + Eps) {
        put(f, m_y, 0, NoLimit);
        m_y += f.height;
        m_hasBody = true;
        return;
    }
    // Moved whole to the next page when it fits there.
    if (m_hasBody && f.height <= m_bodyBottom - m_headerBottom + Eps) {
        newPage();
        put(f, m_y, 0, NoLimit);
        m_y += f.height;
        m_hasBody = true;
        return;
    }
    // Taller than a page: split between text lines, never through one.
    double from = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        const double to = from + (m_bodyBottom - m_y);
        if (to >= f.height - Eps) {
            put(f, m_y - from, from, NoLimit);
            m_y += f.height - from;
            m_hasBody = true;
            return;
        }
        double cut = to;
        for (bool moved = true; moved;) {
            moved = false;
            for (const PageItem& it : f.items) {
                if ((it.kind == PageItem::Text || it.kind == PageItem::PageNumberText) &&
                    it.y > from + Eps && it.y < cut - Eps && it.y + it.h > cut + Eps) {
                    cut = it.y;
                    moved = true;
                }
            }
        }
        if (cut <= from + Eps) {
            if (m_hasBody) {
                newPage();
                continue;
            }
            cut = to; // a single line taller than the page
        }
        put(f, m_y - from, from, cut);
        m_hasBody = true;
        from = cut;
        newPage();
    }
}

std::unique_ptr<PageModel> LayoutPass::run() {
    m_model = std::make_unique<PageModel>();
    m_model->paperMm = m_def.paperMm();
    m_model->pageSize = m_def.pageSize;
    m_model->orientation = m_def.orientation;
    m_model->title = m_def.title;
    m_names = m_rows.fieldNames();
    m_ctx.m_names = &m_names;
    m_ctx.m_row = &m_cur;
    for (const Group& g : m_def.groups) {
        collectTotals(g.header);
        if (g.footer)
            collectTotals(*g.footer);
    }
    for (const auto* b :
         {&m_def.pageHeader, &m_def.columnHeader, &m_def.summary, &m_def.pageFooter}) {
        if (*b)
            collectTotals(**b);
    }
    collectTotals(m_def.detail);
    std::vector<int> keys;
    for (const Group& g : m_def.groups)
        keys.push_back(int(m_names.indexOf(g.key)));
    const int groups = int(keys.size());
    const int fields = int(m_names.size());
    m_cur.resize(fields);
    m_prev.resize(fields);

    qint64 count = 0;
    while (m_rows.next()) {
        std::swap(m_prev, m_cur);
        for (int i = 0; i < fields; ++i)
            m_cur[i] = m_rows.value(i);
        int level = -1;
        if (count == 0) {
            level = 0;
        } else {
            for (int g = 0; g < groups; ++g) {
                if (keys[size_t(g)] >= 0 && m_cur[keys[size_t(g)]] != m_prev[keys[size_t(g)]]) {
                    level = g;
                    break;
                }
            }
        }
        if (count > 0 && level >= 0) {
            // Inner footers close first, with the last row of their group.
            m_ctx.m_row = &m_prev;
            for (int g = groups - 1; g >= level; --g) {
                if (m_def.groups[size_t(g)].footer)
                    placeBody(*m_def.groups[size_t(g)].footer, false);
            }
            m_ctx.m_row = &m_cur;
        }
        if (level >= 0) {
            for (int g = level; g < groups; ++g)
                placeBody(m_def.groups[size_t(g)].header, false);
        }
        placeBody(m_def.detail, true);
        ++count;
        if (m_progress && count % 512 == 0 && !m_progress(count, m_model->pageCount()))
            return nullptr;
    }
    if (count > 0) {
        for (int g = groups - 1; g >= 0; --g) {
            if (m_def.groups[size_t(g)].footer)
                placeBody(*m_def.groups[size_t(g)].footer, false);
        }
    }
    if (count > 0 || m_def.printIfEmpty) {
        if (count == 0)
            m_cur.fill(QVariant());
        if (m_def.summary)
            placeBody(*m_def.summary, false);
        if (!m_pageOpen && m_pageNo == 0)
            openPage();
        closePage();
    }
    if (m_progress && !m_progress(count, m_model->pageCount()))
        return nullptr;
    m_model->squeeze();
    return std::move(m_model);
}

QString ReportLayout::defaultText(const QVariant& value) {
    return defaultFormat(value);
}

std::unique_ptr<PageModel> ReportLayout::run(const ReportDefinition& def, RowSource& rows,
                                             const LayoutProgress& progress) {
    LayoutPass pass(def, rows, progress);
    return pass.run();
}

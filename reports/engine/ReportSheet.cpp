#include "ReportSheet.h"

#include "Clock.h"
#include "SheetFile.h"
#include "Values.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace {

constexpr double LineTolerance = 1.0; // mm: texts this close in height share a line
constexpr double MemoLineMm = 4.0;    // the lines of a many-line text, apart

bool isText(const Element& e) {
    switch (e.kind) {
    case ElementKind::Label:
    case ElementKind::DataText:
    case ElementKind::SystemDate:
    case ElementKind::Total:
    case ElementKind::Memo:
        return true;
    default:
        return false;
    }
}

double overlap(double l1, double r1, double l2, double r2) {
    return std::min(r1, r2) - std::max(l1, l2);
}

// A text placed in a band, for grouping into lines.
struct Placed {
    double top, left, right;
    QString text;
};

// Texts in reading order, gathered into lines.
std::vector<std::vector<Placed>> linesOf(std::vector<Placed> texts) {
    std::stable_sort(texts.begin(), texts.end(),
                     [](const Placed& a, const Placed& b) { return a.top < b.top; });
    std::vector<std::vector<Placed>> lines;
    for (const Placed& p : texts) {
        if (lines.empty() || p.top - lines.back().front().top > LineTolerance)
            lines.emplace_back();
        lines.back().push_back(p);
    }
    for (auto& line : lines)
        std::stable_sort(line.begin(), line.end(),
                         [](const Placed& a, const Placed& b) { return a.left < b.left; });
    return lines;
}

QString joined(const std::vector<Placed>& line) {
    QStringList parts;
    for (const Placed& p : line)
        parts << p.text;
    return parts.join(QLatin1Char(' ')).simplified();
}

} // namespace

// The walk over the rows that ReportLayout makes, without pages.
class SheetPass {
public:
    SheetPass(const ReportDefinition& def, RowSource& rows, const LayoutProgress& progress)
        : m_def(def), m_rows(rows), m_progress(progress) {}

    ReportSheet::Result run(const QString& path, const QString& sheetName, qint64* detailRows);

private:
    struct Column {
        double left = 0, right = 0;
        QString heading;
        const Element* element = nullptr; // from the detail band
        const SheetColumn* own = nullptr; // from the definition's sheetColumns
    };
    struct Value {
        QVariant value;
        QString text;
    };

    Value evaluate(const Element& e);
    void writeCell(SheetKind kind, const Value& v, bool bold);
    void collectTotals(const Band& band);
    void headerTexts(const Band& band, std::vector<Placed>& titles, bool withHeadings,
                     std::vector<std::vector<Placed>>& headingLines);
    void makeColumns(const std::vector<Placed>& headings);
    int columnOfTotal(const Element& e) const;
    void writeTop();
    void writeBandRow(const Band& band);
    void writeDetail();

    const ReportDefinition& m_def;
    RowSource& m_rows;
    const LayoutProgress& m_progress;
    std::unique_ptr<SheetFile> m_sheet;

    QStringList m_names;
    QVariantList m_cur, m_prev;
    PrintContext m_ctx;
    std::unordered_map<const Element*, int> m_fieldOf;
    std::unordered_map<const Element*, size_t> m_totalIndex;
    std::vector<int> m_totalField;
    std::vector<double> m_totals;
    std::vector<Column> m_columns;
    std::vector<Value> m_values; // the detail band's, by element
};

SheetPass::Value SheetPass::evaluate(const Element& e) {
    Value v;
    switch (e.kind) {
    case ElementKind::Label:
        v.text = e.text;
        if (e.onPrint)
            e.onPrint(v.text, m_ctx);
        v.value = v.text;
        break;
    case ElementKind::DataText: {
        auto it = m_fieldOf.find(&e);
        if (it == m_fieldOf.end())
            it = m_fieldOf.emplace(&e, int(m_names.indexOf(e.field))).first;
        v.value = e.valueOf ? e.valueOf(m_ctx) : m_ctx.m_row->value(it->second);
        v.text = e.format ? e.format(v.value) : ReportLayout::defaultText(v.value);
        break;
    }
    case ElementKind::SystemDate:
        v.value = Clock::today();
        v.text = Values::dateToText(Clock::today());
        break;
    case ElementKind::Total: {
        const size_t t = m_totalIndex.at(&e);
        v.value = m_totals[t];
        v.text = Values::moneyToText(m_totals[t]);
        if (e.resetAfterPrint)
            m_totals[t] = 0;
        break;
    }
    case ElementKind::Memo:
        v.text = e.text;
        v.value = v.text;
        break;
    default:
        break;
    }
    return v;
}

void SheetPass::writeCell(SheetKind kind, const Value& v, bool bold) {
    SheetFile& s = *m_sheet;
    const bool none = v.value.isNull() || !v.value.isValid();
    switch (kind) {
    case SheetKind::Auto:
        if (!none && v.value.typeId() == QMetaType::QDate && v.value.toDate().isValid()) {
            s.date(v.value.toDate(), bold);
            return;
        }
        break;
    case SheetKind::Text:
        break;
    case SheetKind::Amount: {
        bool ok = false;
        double d = none ? 0 : v.value.toDouble(&ok);
        if (!ok && !v.text.isEmpty())
            ok = Values::textToNumber(QString(v.text).remove(QLatin1Char('.')), &d);
        if (ok) {
            s.number(d, 2, bold);
            return;
        }
        break;
    }
    case SheetKind::Date: {
        QDate d = none                                   ? QDate()
                  : v.value.typeId() == QMetaType::QDate ? v.value.toDate()
                                                         : Values::storedToDate(v.value);
        if (!d.isValid() && !v.text.isEmpty())
            d = Values::textToDate(v.text);
        if (d.isValid()) {
            s.date(d, bold);
            return;
        }
        break;
    }
    case SheetKind::Count: {
        bool ok = false;
        const qlonglong n = v.text.trimmed().toLongLong(&ok);
        if (ok) {
            s.number(double(n), -1, bold);
            return;
        }
        break;
    }
    }
    if (v.text.isEmpty())
        s.blank();
    else
        s.text(v.text, bold);
}

void SheetPass::collectTotals(const Band& band) {
    for (const Element& e : band.elements) {
        if (e.kind == ElementKind::Total) {
            m_totalIndex.emplace(&e, m_totals.size());
            m_totalField.push_back(int(m_names.indexOf(e.field)));
            m_totals.push_back(0);
        }
    }
    for (const Band& c : band.children)
        collectTotals(c);
}

// The texts of a header band (and its children, below it), its hooks run
// as when it prints: the title texts, and the heading lines when asked.
void SheetPass::headerTexts(const Band& band, std::vector<Placed>& titles, bool withHeadings,
                            std::vector<std::vector<Placed>>& headingLines) {
    if (band.beforePrint && !band.beforePrint(m_ctx))
        return;
    // A child band's lines come below all of its parent's.
    double base = 0;
    for (const Placed& p : titles)
        base = std::max(base, p.top + LineTolerance * 2);
    std::vector<Placed> headings;
    std::vector<Placed> own;
    for (const Element& e : band.elements) {
        if (!isText(e))
            continue;
        if (e.heading) {
            if (withHeadings)
                headings.push_back({e.top, e.left, e.left + e.width, e.text});
            continue;
        }
        const QString text = evaluate(e).text;
        // A many-line text (a memo) gives a line of the sheet per line.
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (!lines.at(i).trimmed().isEmpty())
                own.push_back(
                    {base + e.top + double(i) * MemoLineMm, e.left, e.left + e.width, lines.at(i)});
    }
    titles.insert(titles.end(), own.begin(), own.end());
    for (auto& line : linesOf(headings))
        headingLines.push_back(std::move(line));
    if (band.afterPrint)
        band.afterPrint(m_ctx);
    for (const Band& c : band.children)
        headerTexts(c, titles, withHeadings, headingLines);
}

void SheetPass::makeColumns(const std::vector<Placed>& headings) {
    m_columns.clear();
    if (!m_def.sheetColumns.empty()) {
        for (const SheetColumn& c : m_def.sheetColumns) {
            Column col;
            col.heading = c.heading;
            col.own = &c;
            m_columns.push_back(col);
        }
        return;
    }
    std::vector<bool> used(headings.size());
    for (const Element& e : m_def.detail.elements) {
        if (!isText(e))
            continue;
        Column col;
        col.element = &e;
        col.left = e.left;
        col.right = e.left + e.width;
        double best = 0;
        int under = -1;
        for (size_t h = 0; h < headings.size(); ++h) {
            const double o = overlap(col.left, col.right, headings[h].left, headings[h].right);
            if (o > best) {
                best = o;
                under = int(h);
            }
        }
        if (under >= 0) {
            const Placed& h = headings[size_t(under)];
            if (!used[size_t(under)])
                col.heading = h.text;
            used[size_t(under)] = true;
            col.left = h.left;
            col.right = h.right;
        }
        m_columns.push_back(col);
    }
    for (size_t h = 0; h < headings.size(); ++h)
        if (!used[h])
            m_columns.push_back({headings[h].left, headings[h].right, headings[h].text});
    std::stable_sort(m_columns.begin(), m_columns.end(),
                     [](const Column& a, const Column& b) { return a.left < b.left; });
}

int SheetPass::columnOfTotal(const Element& e) const {
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Element* d = m_columns[c].element;
        const SheetColumn* own = m_columns[c].own;
        if ((d && d->kind == ElementKind::DataText && d->field == e.field) ||
            (own && own->field == e.field))
            return int(c);
    }
    return std::max(1, int(m_columns.size()) - 1);
}

void SheetPass::writeTop() {
    std::vector<Placed> titles;
    std::vector<std::vector<Placed>> headingLines;
    for (const auto* b : {&m_def.pageHeader, &m_def.columnHeader})
        if (*b)
            headerTexts(**b, titles, true, headingLines);
    // Headings drawn in a group's header (repeated on paper for each group)
    // are written once, on top. The group's own texts go with its rows.
    for (const Group& g : m_def.groups) {
        std::vector<Placed> headings;
        for (const Element& e : g.header.elements)
            if (e.heading && isText(e))
                headings.push_back({e.top, e.left, e.left + e.width, e.text});
        for (auto& line : linesOf(headings))
            headingLines.push_back(std::move(line));
    }
    const std::vector<Placed> main =
        headingLines.empty() ? std::vector<Placed>() : headingLines.back();
    makeColumns(main);

    SheetFile& s = *m_sheet;
    bool first = true;
    for (const auto& line : linesOf(titles)) {
        s.note(joined(line), first);
        s.endRow();
        first = false;
    }
    if (!titles.empty())
        s.endRow();
    for (size_t l = 0; l + 1 < headingLines.size(); ++l) {
        // A heading over some columns ("(Perioada achitata)"): above the
        // first column it mostly covers.
        std::vector<QString> cells(m_columns.size());
        for (const Placed& p : headingLines[l]) {
            int at = -1, widest = 0;
            double best = -1e9;
            for (size_t c = 0; c < m_columns.size(); ++c) {
                const Column& col = m_columns[c];
                const double o = overlap(p.left, p.right, col.left, col.right);
                if (at < 0 && o >= (col.right - col.left) / 2)
                    at = int(c);
                if (o > best) {
                    best = o;
                    widest = int(c);
                }
            }
            if (at < 0)
                at = widest;
            if (!m_columns.empty())
                cells[size_t(at)] +=
                    (cells[size_t(at)].isEmpty() ? QString() : QStringLiteral(" ")) + p.text;
        }
        for (const QString& c : cells)
            s.note(c, true);
        s.endRow();
    }
    for (const Column& c : m_columns)
        s.text(c.heading, true);
    s.freezeAbove();
    s.endRow();
}

// A group header or footer, or the summary: a bold row, its texts in the
// first column and its totals under their field.
void SheetPass::writeBandRow(const Band& band) {
    if (band.beforePrint && !band.beforePrint(m_ctx))
        return;
    std::vector<Placed> texts;
    std::vector<std::pair<int, Value>> totals;
    for (const Element& e : band.elements) {
        if (!isText(e) || e.heading)
            continue;
        const Value v = evaluate(e);
        if (e.kind == ElementKind::Total)
            totals.emplace_back(columnOfTotal(e), v);
        else if (!v.text.trimmed().isEmpty())
            texts.push_back({e.top, e.left, e.left + e.width, v.text});
    }
    if (band.afterPrint)
        band.afterPrint(m_ctx);
    if (texts.empty() && totals.empty())
        return;
    std::sort(totals.begin(), totals.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList lines;
    for (const auto& line : linesOf(texts))
        lines << joined(line);
    SheetFile& s = *m_sheet;
    s.note(lines.join(QLatin1Char(' ')), true);
    int col = 1;
    for (const auto& [at, v] : totals) {
        for (; col < at; ++col)
            s.blank();
        writeCell(SheetKind::Amount, v, true);
        ++col;
    }
    s.endRow();
}

void SheetPass::writeDetail() {
    const Band& band = m_def.detail;
    if (band.beforePrint && !band.beforePrint(m_ctx))
        return;
    // Only printed details count.
    for (size_t i = 0; i < m_totals.size(); ++i)
        if (m_totalField[i] >= 0)
            m_totals[i] += m_cur.value(m_totalField[i]).toDouble();
    SheetFile& s = *m_sheet;
    if (!m_def.sheetColumns.empty()) {
        for (const Column& c : m_columns) {
            Value v;
            if (c.own->valueOf)
                v.value = c.own->valueOf(m_ctx);
            else
                v.value = m_cur.value(int(m_names.indexOf(c.own->field)));
            v.text = ReportLayout::defaultText(v.value);
            writeCell(c.own->kind, v, false);
        }
    } else {
        // Every text is made, as on paper: the hooks count and keep state.
        const size_t n = band.elements.size();
        m_values.resize(n);
        for (size_t i = 0; i < n; ++i)
            m_values[i] = isText(band.elements[i]) ? evaluate(band.elements[i]) : Value();
        for (const Column& c : m_columns) {
            if (!c.element) {
                s.blank();
                continue;
            }
            const size_t i = size_t(c.element - band.elements.data());
            const SheetKind kind =
                c.element->kind == ElementKind::Total && c.element->sheetAs == SheetKind::Auto
                    ? SheetKind::Amount
                    : c.element->sheetAs;
            writeCell(kind, m_values[i], false);
        }
    }
    s.endRow();
    if (band.afterPrint)
        band.afterPrint(m_ctx);
}

ReportSheet::Result SheetPass::run(const QString& path, const QString& sheetName,
                                   qint64* detailRows) {
    m_names = m_rows.fieldNames();
    const int fields = int(m_names.size());
    m_cur.resize(fields);
    m_prev.resize(fields);
    m_ctx.m_names = &m_names;
    m_ctx.m_row = &m_cur;
    m_ctx.m_page = 1;
    for (const Group& g : m_def.groups) {
        collectTotals(g.header);
        if (g.footer)
            collectTotals(*g.footer);
    }
    for (const auto* b : {&m_def.pageHeader, &m_def.columnHeader, &m_def.summary})
        if (*b)
            collectTotals(**b);
    collectTotals(m_def.detail);
    std::vector<int> keys;
    for (const Group& g : m_def.groups)
        keys.push_back(int(m_names.indexOf(g.key)));
    const int groups = int(keys.size());

    qint64 count = 0, written = 0;
    const auto read = [&] {
        if (!m_rows.next())
            return false;
        std::swap(m_prev, m_cur);
        for (int i = 0; i < fields; ++i)
            m_cur[i] = m_rows.value(i);
        return true;
    };
    bool more = read();
    if (!more && !m_def.printIfEmpty)
        return ReportSheet::Result::Empty;
    m_sheet = std::make_unique<SheetFile>(path, sheetName, SheetFile::kindOf(path));
    writeTop();
    for (; more; more = read()) {
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
            for (int g = groups - 1; g >= level; --g)
                if (m_def.groups[size_t(g)].footer)
                    writeBandRow(*m_def.groups[size_t(g)].footer);
            m_ctx.m_row = &m_cur;
        }
        if (level >= 0)
            for (int g = level; g < groups; ++g)
                writeBandRow(m_def.groups[size_t(g)].header);
        const int before = m_sheet->row();
        writeDetail();
        written += m_sheet->row() - before;
        ++count;
        if (m_progress && count % 512 == 0 && !m_progress(count, 0))
            return ReportSheet::Result::Cancelled;
    }
    if (count > 0)
        for (int g = groups - 1; g >= 0; --g)
            if (m_def.groups[size_t(g)].footer)
                writeBandRow(*m_def.groups[size_t(g)].footer);
    if (count == 0)
        m_cur.fill(QVariant());
    if (m_def.summary)
        writeBandRow(*m_def.summary);
    if (m_progress && !m_progress(count, 0))
        return ReportSheet::Result::Cancelled;
    m_sheet->close();
    if (detailRows)
        *detailRows = written;
    return ReportSheet::Result::Written;
}

ReportSheet::Result ReportSheet::write(const ReportDefinition& def, RowSource& rows,
                                       const QString& path, const QString& sheetName,
                                       const LayoutProgress& progress, qint64* detailRows) {
    SheetPass pass(def, rows, progress);
    return pass.run(path, sheetName, detailRows);
}

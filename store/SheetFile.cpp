#include "SheetFile.h"

#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <filesystem>
#include <xlsxwriter.h>

struct SheetFile::Xlsx {
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* date = nullptr;
    lxw_format* boldDate = nullptr;
    lxw_format* fixed[2][5] = {}; // [bold][decimals 0-4]
    lxw_format* number(bool b, int decimals) {
        if (decimals < 0)
            return b ? bold : nullptr;
        decimals = std::min(decimals, 4);
        lxw_format*& f = fixed[b ? 1 : 0][decimals];
        if (!f) {
            f = workbook_add_format(book);
            const QByteArray mask = decimals ? "0." + QByteArray(decimals, '0') : QByteArray("0");
            format_set_num_format(f, mask.constData());
            if (b)
                format_set_bold(f);
        }
        return f;
    }
};

namespace {

QString notWritten(const QString& path) {
    return QStringLiteral("Nu pot scrie fisierul %1").arg(QDir::toNativeSeparators(path));
}

// A sheet's name: at most 31 characters, none of []:*?/\.
QByteArray sheetNameOf(QString name) {
    for (QChar& c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char(' ');
    name = name.trimmed().left(31);
    return (name.isEmpty() ? QStringLiteral("Foaie1") : name).toUtf8();
}

QByteArray csvField(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    if (utf8.contains(';') || utf8.contains('"') || utf8.contains('\n') || utf8.contains('\r')) {
        utf8.replace("\"", "\"\"");
        utf8 = '"' + utf8 + '"';
    }
    return utf8;
}

} // namespace

SheetFile::Kind SheetFile::kindOf(const QString& path) {
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? Kind::Csv : Kind::Xlsx;
}

SheetFile::SheetFile(const QString& path, const QString& sheetName)
    : SheetFile(path, sheetName, kindOf(path)) {}

SheetFile::SheetFile(const QString& path, const QString& sheetName, Kind kind)
    : m_path(path), m_kind(kind) {
    const QFileInfo info(path);
    m_partial =
        info.dir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".partial"));
    QFile::remove(m_partial);
    if (kind == Kind::Csv) {
        m_file = std::make_unique<QFile>(m_partial);
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            m_file->write("\xEF\xBB\xBF") != 3)
            throw StoreError(notWritten(path));
        return;
    }
    m_x = std::make_unique<Xlsx>();
    // Rows go to the file as they come: a list of 100,000 rows takes no
    // more memory than one.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    m_x->book = workbook_new_opt(m_partial.toUtf8().constData(), &options);
    if (!m_x->book)
        throw StoreError(notWritten(path));
    m_x->sheet = workbook_add_worksheet(m_x->book, sheetNameOf(sheetName).constData());
    m_x->bold = workbook_add_format(m_x->book);
    format_set_bold(m_x->bold);
    m_x->date = workbook_add_format(m_x->book);
    format_set_num_format(m_x->date, "dd.mm.yyyy");
    m_x->boldDate = workbook_add_format(m_x->book);
    format_set_num_format(m_x->boldDate, "dd.mm.yyyy");
    format_set_bold(m_x->boldDate);
}

SheetFile::~SheetFile() {
    if (m_closed)
        return;
    if (m_x && m_x->book)
        workbook_close(m_x->book); // frees it; the partial file goes below
    m_file.reset();
    QFile::remove(m_partial);
}

void SheetFile::put(const QString& csvText, int width) {
    if (m_kind == Kind::Csv) {
        if (m_col > 0)
            m_csv += ';';
        m_csv += csvField(csvText);
    }
    if (m_widths.size() <= m_col)
        m_widths.resize(m_col + 1, 0);
    m_widths[m_col] = std::max(m_widths.at(m_col), width);
    ++m_col;
}

void SheetFile::text(const QString& value, bool bold) {
    if (m_x && !value.isEmpty())
        worksheet_write_string(m_x->sheet, lxw_row_t(m_row), lxw_col_t(m_col),
                               value.toUtf8().constData(), bold ? m_x->bold : nullptr);
    put(value, int(value.size()));
}

void SheetFile::number(double value, int decimals, bool bold) {
    if (m_x)
        worksheet_write_number(m_x->sheet, lxw_row_t(m_row), lxw_col_t(m_col), value,
                               m_x->number(bold, decimals));
    // Written for a Romanian spreadsheet: a decimal comma, no grouping.
    const QString shown = decimals < 0 ? QLocale::c().toString(value, 'g', 15)
                                       : QLocale::c().toString(value, 'f', decimals);
    put(QString(shown).replace(QLatin1Char('.'), QLatin1Char(',')), int(shown.size()));
}

void SheetFile::date(const QDate& value, bool bold) {
    if (!value.isValid()) {
        blank();
        return;
    }
    if (m_x) {
        lxw_datetime d = {value.year(), value.month(), value.day(), 0, 0, 0};
        worksheet_write_datetime(m_x->sheet, lxw_row_t(m_row), lxw_col_t(m_col), &d,
                                 bold ? m_x->boldDate : m_x->date);
    }
    put(value.toString(QStringLiteral("dd.MM.yyyy")), 10);
}

void SheetFile::note(const QString& value, bool bold) {
    if (m_x && !value.isEmpty())
        worksheet_write_string(m_x->sheet, lxw_row_t(m_row), lxw_col_t(m_col),
                               value.toUtf8().constData(), bold ? m_x->bold : nullptr);
    put(value, 0);
}

void SheetFile::blank() {
    put(QString(), 0);
}

void SheetFile::endRow() {
    if (m_file) {
        m_csv += "\r\n";
        if (m_file->write(m_csv) != m_csv.size())
            throw StoreError(notWritten(m_path));
        m_csv.clear();
    }
    ++m_row;
    m_col = 0;
}

void SheetFile::freezeAbove() {
    if (m_x)
        worksheet_freeze_panes(m_x->sheet, lxw_row_t(m_row + 1), 0);
}

void SheetFile::close() {
    if (m_closed)
        return;
    if (m_col > 0)
        endRow();
    bool ok = true;
    if (m_x) {
        for (int c = 0; c < m_widths.size(); ++c)
            worksheet_set_column(m_x->sheet, lxw_col_t(c), lxw_col_t(c),
                                 std::clamp(m_widths.at(c) + 2, 6, 80), nullptr);
        ok = workbook_close(m_x->book) == LXW_NO_ERROR;
        m_x->book = nullptr;
    } else {
        ok = m_file->flush();
        m_file->close();
        m_file.reset();
    }
    m_closed = true;
    if (ok) {
        // One step: the older file stays until the new one takes its name.
        std::error_code ec;
        std::filesystem::rename(std::filesystem::path(m_partial.toStdU16String()),
                                std::filesystem::path(m_path.toStdU16String()), ec);
        ok = !ec;
    }
    if (!ok) {
        QFile::remove(m_partial);
        throw StoreError(notWritten(m_path));
    }
}

#include "SheetReader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

QByteArray part(const QString& zip, const QString& name) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, name});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

int columnNumber(const QString& ref) {
    int n = 0;
    for (QChar c : ref) {
        if (!c.isLetter())
            break;
        n = n * 26 + (c.unicode() - 'A' + 1);
    }
    return n;
}

QString columnLetters(int n) {
    QString out;
    for (; n > 0; n = (n - 1) / 26)
        out.prepend(QChar('A' + (n - 1) % 26));
    return out;
}

} // namespace

QStringList Sheet::row(int r) const {
    QStringList out;
    int last = 0;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        if (it.key().mid(columnLetters(columnNumber(it.key())).size()).toInt() == r)
            last = std::max(last, columnNumber(it.key()));
    for (int c = 1; c <= last; ++c)
        out << cells.value(columnLetters(c) + QString::number(r)).value;
    return out;
}

Sheet readSheet(const QString& xlsxPath) {
    Sheet s;
    // Styles: each cell style's number format and boldness.
    QMap<int, QString> formats = {{0, QStringLiteral("General")},
                                  {2, QStringLiteral("0.00")},
                                  {1, QStringLiteral("0")},
                                  {14, QStringLiteral("mm-dd-yy")}};
    QList<bool> boldFonts;
    QList<QPair<int, int>> xfs; // numFmtId, fontId
    {
        QXmlStreamReader x(part(xlsxPath, QStringLiteral("xl/styles.xml")));
        bool inFonts = false, inCellXfs = false;
        while (!x.atEnd()) {
            x.readNext();
            const auto n = x.name();
            if (x.isStartElement()) {
                if (n == QLatin1String("numFmt"))
                    formats[x.attributes().value("numFmtId").toInt()] =
                        x.attributes().value("formatCode").toString();
                else if (n == QLatin1String("fonts"))
                    inFonts = true;
                else if (inFonts && n == QLatin1String("font"))
                    boldFonts << false;
                else if (inFonts && n == QLatin1String("b") && !boldFonts.isEmpty())
                    boldFonts.last() = true;
                else if (n == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (inCellXfs && n == QLatin1String("xf"))
                    xfs << qMakePair(x.attributes().value("numFmtId").toInt(),
                                     x.attributes().value("fontId").toInt());
            } else if (x.isEndElement()) {
                if (n == QLatin1String("fonts"))
                    inFonts = false;
                else if (n == QLatin1String("cellXfs"))
                    inCellXfs = false;
            }
        }
    }
    QStringList shared;
    {
        QXmlStreamReader x(part(xlsxPath, QStringLiteral("xl/sharedStrings.xml")));
        while (!x.atEnd())
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == QLatin1String("si"))
                shared << x.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    {
        const QByteArray book = part(xlsxPath, QStringLiteral("xl/workbook.xml"));
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("<sheet name=\"([^\"]*)\""))
                .match(QString::fromUtf8(book));
        QXmlStreamReader x(QByteArray("<n>") + m.captured(1).toUtf8() + "</n>");
        x.readNextStartElement();
        s.name = x.readElementText(); // undoes the XML escapes
    }
    const QByteArray sheet = part(xlsxPath, QStringLiteral("xl/worksheets/sheet1.xml"));
    s.ok = !sheet.isEmpty();
    QXmlStreamReader x(sheet);
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = x.attributes();
        if (x.name() == QLatin1String("pane") && a.value("state") == QLatin1String("frozen")) {
            s.frozenAt = a.value("topLeftCell").toString();
        } else if (x.name() == QLatin1String("col")) {
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c)
                s.widths[c] = a.value("width").toDouble();
        } else if (x.name() == QLatin1String("c")) {
            const QString ref = a.value("r").toString();
            const QString t = a.value("t").toString();
            const int style = a.value("s").toInt();
            SheetCell cell;
            const auto xf = style < xfs.size() ? xfs.at(style) : qMakePair(0, 0);
            cell.format = formats.value(xf.first, QStringLiteral("?"));
            cell.bold = xf.second < boldFonts.size() && boldFonts.at(xf.second);
            const QString inner = x.readElementText(QXmlStreamReader::IncludeChildElements);
            if (t == QLatin1String("inlineStr") || t == QLatin1String("str")) {
                cell.kind = QStringLiteral("text");
                cell.value = inner;
            } else if (t == QLatin1String("s")) {
                cell.kind = QStringLiteral("text");
                cell.value = shared.value(inner.toInt());
            } else if (t == QLatin1String("b")) {
                cell.kind = QStringLiteral("bool");
                cell.value = inner;
            } else {
                cell.kind = QStringLiteral("number");
                cell.value = inner;
            }
            s.cells[ref] = cell;
            s.rows = std::max(s.rows, ref.mid(columnLetters(columnNumber(ref)).size()).toInt());
        }
    }
    return s;
}

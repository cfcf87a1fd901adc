#include "Streeming.h"

#include "Cp1250.h"
#include "DBGNorm.h"
#include "Prompts.h"
#include "SystemError.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

// Value tags of the component stream.
enum Tag : quint8 {
    vaNull = 0x00,
    vaList = 0x01,
    vaInt8 = 0x02,
    vaInt16 = 0x03,
    vaInt32 = 0x04,
    vaString = 0x06,
    vaIdent = 0x07,
    vaFalse = 0x08,
    vaTrue = 0x09,
    vaSet = 0x0B,
    vaLString = 0x0C,
    vaNil = 0x0D,
    vaCollection = 0x0E,
};

const char kSignature[] = "TPF0";

// ---------------------------------------------------------------- text

// Strings are stored in the Central European Windows code page, as the
// register's own Windows installations wrote them.
QString fromCodePage(const QByteArray& bytes) {
    return Cp1250::decode(bytes);
}

QByteArray toCodePage(const QString& text) {
    return Cp1250::encode(text);
}

// ---------------------------------------------------------------- column properties

enum class Kind { Bool, Int, String, Strings, Enum, Set, Color, Charset, Component };

const char* const kAlignments[] = {"taLeftJustify", "taRightJustify", "taCenter", nullptr};
const char* const kButtonStyles[] = {"cbsAuto", "cbsEllipsis", "cbsNone", nullptr};
const char* const kImeModes[] = {"imDisable",  "imClose",   "imOpen",  "imDontCare", "imSAlpha",
                                 "imAlpha",    "imHira",    "imSKata", "imKata",     "imChinese",
                                 "imSHanguel", "imHanguel", nullptr};
const char* const kPitches[] = {"fpDefault", "fpVariable", "fpFixed", nullptr};
const char* const kFontStyles[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut", nullptr};
const char* const kCharsets[] = {
    "ANSI_CHARSET",        "DEFAULT_CHARSET",    "SYMBOL_CHARSET",  "MAC_CHARSET",
    "SHIFTJIS_CHARSET",    "HANGEUL_CHARSET",    "JOHAB_CHARSET",   "GB2312_CHARSET",
    "CHINESEBIG5_CHARSET", "GREEK_CHARSET",      "TURKISH_CHARSET", "VIETNAMESE_CHARSET",
    "HEBREW_CHARSET",      "ARABIC_CHARSET",     "BALTIC_CHARSET",  "RUSSIAN_CHARSET",
    "THAI_CHARSET",        "EASTEUROPE_CHARSET", "OEM_CHARSET",     nullptr};

struct PropertyDef {
    const char* name;
    Kind kind;
    const char* const* choices = nullptr;
};

// The stored properties of a column, in the order in which they are written.
const PropertyDef kColumnProperties[] = {
    {"Alignment", Kind::Enum, kAlignments},
    {"ButtonStyle", Kind::Enum, kButtonStyles},
    {"Color", Kind::Color},
    {"DropDownRows", Kind::Int},
    {"Expanded", Kind::Bool},
    {"FieldName", Kind::String},
    {"Font.Charset", Kind::Charset},
    {"Font.Color", Kind::Color},
    {"Font.Height", Kind::Int},
    {"Font.Name", Kind::String},
    {"Font.Pitch", Kind::Enum, kPitches},
    {"Font.Size", Kind::Int},
    {"Font.Style", Kind::Set, kFontStyles},
    {"ImeMode", Kind::Enum, kImeModes},
    {"ImeName", Kind::String},
    {"PickList.Strings", Kind::Strings},
    {"PopupMenu", Kind::Component},
    {"ReadOnly", Kind::Bool},
    {"Title.Alignment", Kind::Enum, kAlignments},
    {"Title.Caption", Kind::String},
    {"Title.Color", Kind::Color},
    {"Title.Font.Charset", Kind::Charset},
    {"Title.Font.Color", Kind::Color},
    {"Title.Font.Height", Kind::Int},
    {"Title.Font.Name", Kind::String},
    {"Title.Font.Pitch", Kind::Enum, kPitches},
    {"Title.Font.Size", Kind::Int},
    {"Title.Font.Style", Kind::Set, kFontStyles},
    {"Width", Kind::Int},
    {"Visible", Kind::Bool},
};
constexpr int kPropertyCount = static_cast<int>(std::size(kColumnProperties));

// Property and identifier names are matched without regard to case.
bool sameName(const QByteArray& a, const char* b) {
    return a.compare(QByteArrayView(b, qsizetype(std::strlen(b))), Qt::CaseInsensitive) == 0;
}

int rankOf(const QByteArray& name) {
    for (int i = 0; i < kPropertyCount; ++i)
        if (sameName(name, kColumnProperties[i].name))
            return i;
    return -1;
}

bool isChoice(const QByteArray& ident, const char* const* choices) {
    for (; *choices; ++choices)
        if (sameName(ident, *choices))
            return true;
    return false;
}

// Colours by name: the fixed ones with their value, the system ones with
// the palette role that stands for them (-1: none to show).
struct NamedColor {
    const char* name;
    QRgb rgb;
    int systemIndex; // -1 for a fixed colour
};
const NamedColor kColors[] = {
    {"clBlack", 0x000000, -1},
    {"clMaroon", 0x800000, -1},
    {"clGreen", 0x008000, -1},
    {"clOlive", 0x808000, -1},
    {"clNavy", 0x000080, -1},
    {"clPurple", 0x800080, -1},
    {"clTeal", 0x008080, -1},
    {"clGray", 0x808080, -1},
    {"clSilver", 0xC0C0C0, -1},
    {"clRed", 0xFF0000, -1},
    {"clLime", 0x00FF00, -1},
    {"clYellow", 0xFFFF00, -1},
    {"clBlue", 0x0000FF, -1},
    {"clFuchsia", 0xFF00FF, -1},
    {"clAqua", 0x00FFFF, -1},
    {"clWhite", 0xFFFFFF, -1},
    {"clLtGray", 0xC0C0C0, -1},
    {"clDkGray", 0x808080, -1},
    {"clMoneyGreen", 0xC0DCC0, -1},
    {"clSkyBlue", 0xA6CAF0, -1},
    {"clCream", 0xFFFBF0, -1},
    {"clMedGray", 0xA4A0A0, -1},
    {"clScrollBar", 0, 0},
    {"clBackground", 0, 1},
    {"clActiveCaption", 0, 2},
    {"clInactiveCaption", 0, 3},
    {"clMenu", 0, 4},
    {"clWindow", 0, 5},
    {"clWindowFrame", 0, 6},
    {"clMenuText", 0, 7},
    {"clWindowText", 0, 8},
    {"clCaptionText", 0, 9},
    {"clActiveBorder", 0, 10},
    {"clInactiveBorder", 0, 11},
    {"clAppWorkSpace", 0, 12},
    {"clHighlight", 0, 13},
    {"clHighlightText", 0, 14},
    {"clBtnFace", 0, 15},
    {"clBtnShadow", 0, 16},
    {"clGrayText", 0, 17},
    {"clBtnText", 0, 18},
    {"clInactiveCaptionText", 0, 19},
    {"clBtnHighlight", 0, 20},
    {"cl3DDkShadow", 0, 21},
    {"cl3DLight", 0, 22},
    {"clInfoText", 0, 23},
    {"clInfoBk", 0, 24},
    {"clNone", 0, -2},
    {"clDefault", 0, -2},
};

const NamedColor* findColor(const QByteArray& ident) {
    for (const NamedColor& c : kColors)
        if (sameName(ident, c.name))
            return &c;
    return nullptr;
}

QColor systemColor(int index) {
    QPalette::ColorRole role;
    switch (index) {
    case 5:
        role = QPalette::Base;
        break;
    case 8:
        role = QPalette::Text;
        break;
    case 13:
        role = QPalette::Highlight;
        break;
    case 14:
        role = QPalette::HighlightedText;
        break;
    case 15:
        role = QPalette::Button;
        break;
    case 16:
        role = QPalette::Dark;
        break;
    case 18:
        role = QPalette::ButtonText;
        break;
    case 20:
        role = QPalette::Light;
        break;
    case 21:
        role = QPalette::Shadow;
        break;
    case 22:
        role = QPalette::Midlight;
        break;
    case 23:
        role = QPalette::ToolTipText;
        break;
    case 24:
        role = QPalette::ToolTipBase;
        break;
    default:
        return {};
    }
    return QGuiApplication::palette().color(role);
}

// ---------------------------------------------------------------- reading

struct ReadFailure {};

class Cursor {
public:
    Cursor(const QByteArray& data, qsizetype pos) : m_data(data), m_pos(pos) {}
    qsizetype pos() const { return m_pos; }

    void need(qsizetype n) const {
        if (n < 0 || n > m_data.size() - m_pos)
            throw ReadFailure{};
    }
    quint8 peek() const {
        need(1);
        return static_cast<quint8>(m_data[m_pos]);
    }
    quint8 byte() {
        const quint8 b = peek();
        ++m_pos;
        return b;
    }
    QByteArray bytes(qsizetype n) {
        need(n);
        const QByteArray out = m_data.mid(m_pos, n);
        m_pos += n;
        return out;
    }
    void skip(qsizetype n) {
        need(n);
        m_pos += n;
    }
    quint32 le(int size) {
        need(size);
        quint32 v = 0;
        for (int i = 0; i < size; ++i)
            v |= quint32(static_cast<quint8>(m_data[m_pos + i])) << (8 * i);
        m_pos += size;
        return v;
    }
    QByteArray shortString() { return bytes(byte()); }

private:
    const QByteArray& m_data;
    qsizetype m_pos;
};

qint32 readInt(Cursor& c) {
    switch (c.byte()) {
    case vaInt8:
        return static_cast<qint8>(c.le(1));
    case vaInt16:
        return static_cast<qint16>(c.le(2));
    case vaInt32:
        return static_cast<qint32>(c.le(4));
    default:
        throw ReadFailure{};
    }
}

QString readString(Cursor& c) {
    switch (c.byte()) {
    case vaString:
        return fromCodePage(c.shortString());
    case vaLString: {
        const quint32 n = c.le(4);
        c.need(qsizetype(n)); // before anything is allocated
        return fromCodePage(c.bytes(qsizetype(n)));
    }
    default:
        throw ReadFailure{};
    }
}

bool readBool(Cursor& c) {
    switch (c.byte()) {
    case vaFalse:
        return false;
    case vaTrue:
        return true;
    default:
        throw ReadFailure{};
    }
}

QByteArray readIdent(Cursor& c) {
    if (c.byte() != vaIdent)
        throw ReadFailure{};
    return c.shortString();
}

QStringList readStrings(Cursor& c) {
    if (c.byte() != vaList)
        throw ReadFailure{};
    QStringList out;
    while (c.peek() != vaNull) {
        if (out.size() >= LayoutReader::MaxListItems)
            throw ReadFailure{};
        out.append(readString(c));
    }
    c.byte();
    return out;
}

QList<QByteArray> readSet(Cursor& c) {
    if (c.byte() != vaSet)
        throw ReadFailure{};
    QList<QByteArray> out;
    for (;;) {
        const QByteArray item = c.shortString();
        if (item.isEmpty())
            return out;
        if (out.size() >= LayoutReader::MaxListItems)
            throw ReadFailure{};
        out.append(item);
    }
}

// A colour: a number, or one of the colour names.
QColor readColor(Cursor& c) {
    if (c.peek() == vaIdent) {
        const NamedColor* named = findColor(readIdent(c));
        if (!named)
            throw ReadFailure{};
        if (named->systemIndex == -1)
            return QColor::fromRgb(named->rgb);
        return named->systemIndex >= 0 ? systemColor(named->systemIndex) : QColor();
    }
    const auto v = static_cast<quint32>(readInt(c));
    if ((v & 0xFF000000u) == 0) // stored as blue, green, red from the low byte up
        return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
    if ((v & 0xFF000000u) == 0x80000000u)
        return systemColor(int(v & 0xFF));
    return {};
}

// Checks a value of the given kind; what is not of that kind fails.
void checkValue(Cursor& c, const PropertyDef& def) {
    switch (def.kind) {
    case Kind::Bool:
        readBool(c);
        return;
    case Kind::Int:
        readInt(c);
        return;
    case Kind::String:
        readString(c);
        return;
    case Kind::Strings:
        readStrings(c);
        return;
    case Kind::Enum:
        if (!isChoice(readIdent(c), def.choices))
            throw ReadFailure{};
        return;
    case Kind::Set:
        for (const QByteArray& item : readSet(c))
            if (!isChoice(item, def.choices))
                throw ReadFailure{};
        return;
    case Kind::Color:
        readColor(c);
        return;
    case Kind::Charset:
        if (c.peek() == vaIdent) {
            if (!isChoice(readIdent(c), kCharsets))
                throw ReadFailure{};
        } else {
            readInt(c);
        }
        return;
    case Kind::Component:
        if (c.peek() == vaNil)
            c.byte();
        else
            readIdent(c);
        return;
    }
}

void readColumnProperty(Cursor& c, const QByteArray& data, GridColumn& col) {
    const QByteArray name = c.shortString();
    const int rank = rankOf(name);
    if (rank < 0)
        throw ReadFailure{};
    const PropertyDef& def = kColumnProperties[rank];
    const QByteArray canonical(def.name);
    if (canonical == "FieldName") {
        col.fieldName = readString(c);
    } else if (canonical == "Title.Caption") {
        col.title = readString(c);
    } else if (canonical == "Width") {
        col.width = readInt(c);
    } else if (canonical == "Visible") {
        col.visible = readBool(c);
    } else if (canonical == "Expanded") {
        readBool(c); // plain fields have no sub-fields to expand
    } else if (canonical == "PickList.Strings") {
        col.pickList = readStrings(c);
    } else {
        const qsizetype start = c.pos();
        checkValue(c, def);
        ColumnProperty p{name, data.mid(start, c.pos() - start)};
        // A repeated property replaces the earlier one, as it would be applied.
        auto it = std::find_if(col.stored.begin(), col.stored.end(),
                               [rank](const ColumnProperty& q) { return rankOf(q.name) >= rank; });
        if (it != col.stored.end() && rankOf(it->name) == rank)
            *it = p;
        else
            col.stored.insert(it, p);
    }
}

QList<GridColumn> readColumns(Cursor& c, const QByteArray& data) {
    if (c.byte() != vaCollection)
        throw ReadFailure{};
    QList<GridColumn> out;
    while (c.peek() != vaNull) {
        if (out.size() >= LayoutReader::MaxColumns || c.byte() != vaList)
            throw ReadFailure{};
        GridColumn col;
        while (c.peek() != vaNull)
            readColumnProperty(c, data, col);
        c.byte();
        out.append(col);
    }
    c.byte();
    return out;
}

// Passes over a value of any kind the format has, without keeping it.
void skipValue(Cursor& c, int depth) {
    if (depth > LayoutReader::MaxDepth)
        throw ReadFailure{};
    switch (c.byte()) {
    case vaList:
        while (c.peek() != vaNull)
            skipValue(c, depth + 1);
        c.byte();
        return;
    case vaInt8:
        c.skip(1);
        return;
    case vaInt16:
        c.skip(2);
        return;
    case vaInt32:
        c.skip(4);
        return;
    case vaString:
    case vaIdent:
        c.skip(c.byte());
        return;
    case vaFalse:
    case vaTrue:
    case vaNil:
        return;
    case vaSet:
        while (const quint8 n = c.byte())
            c.skip(n);
        return;
    case vaLString:
        c.skip(qsizetype(c.le(4)));
        return;
    case vaCollection:
        while (c.peek() != vaNull) {
            if (const quint8 t = c.peek(); t == vaInt8 || t == vaInt16 || t == vaInt32)
                skipValue(c, depth + 1); // the item's order value
            if (c.byte() != vaList)
                throw ReadFailure{};
            while (c.peek() != vaNull) {
                c.shortString();
                skipValue(c, depth + 1);
            }
            c.byte();
        }
        c.byte();
        return;
    default:
        throw ReadFailure{};
    }
}

// A child object: optional flags, class name, object name, properties and
// its own children.
void skipObjectBody(Cursor& c, int depth) {
    if (depth > LayoutReader::MaxDepth)
        throw ReadFailure{};
    c.shortString(); // object name
    while (c.peek() != vaNull) {
        c.shortString();
        skipValue(c, depth + 1);
    }
    c.byte();
    while (c.peek() != vaNull) {
        const quint8 flags = c.peek();
        if ((flags & 0xF0) == 0xF0) {
            c.byte();
            if (flags & 0x02) // the child's position
                skipValue(c, depth + 1);
        }
        c.shortString(); // class name
        skipObjectBody(c, depth + 1);
    }
    c.byte();
}

// ---------------------------------------------------------------- writing

class Writer {
public:
    QByteArray out;
    void byte(quint8 b) { out.append(static_cast<char>(b)); }
    void le(quint32 v, int size) {
        for (int i = 0; i < size; ++i)
            byte(quint8(v >> (8 * i)));
    }
    void shortString(const QByteArray& s) {
        const QByteArray t = s.left(255);
        byte(quint8(t.size()));
        out.append(t);
    }
    // The smallest form that holds the value.
    void integer(qint32 v) {
        if (v >= -128 && v <= 127) {
            byte(vaInt8);
            le(quint32(v), 1);
        } else if (v >= -32768 && v <= 32767) {
            byte(vaInt16);
            le(quint32(v), 2);
        } else {
            byte(vaInt32);
            le(quint32(v), 4);
        }
    }
    void string(const QString& s) {
        const QByteArray b = toCodePage(s);
        if (b.size() <= 255) {
            byte(vaString);
            byte(quint8(b.size()));
        } else {
            byte(vaLString);
            le(quint32(b.size()), 4);
        }
        out.append(b);
    }
    void boolean(bool v) { byte(v ? vaTrue : vaFalse); }
};

void writeColumn(Writer& w, const GridColumn& col) {
    struct Entry {
        int rank;
        QByteArray name;
        QByteArray value;
    };
    QList<Entry> entries;
    const auto add = [&](const char* name, const std::function<void(Writer&)>& value) {
        Writer v;
        value(v);
        entries.append({rankOf(QByteArray(name)), QByteArray(name), v.out});
    };
    add("Expanded", [](Writer& v) { v.boolean(false); });
    if (!col.fieldName.isEmpty())
        add("FieldName", [&](Writer& v) { v.string(col.fieldName); });
    if (!col.pickList.isEmpty())
        add("PickList.Strings", [&](Writer& v) {
            v.byte(vaList);
            for (const QString& s : col.pickList)
                v.string(s);
            v.byte(vaNull);
        });
    if (!col.title.isEmpty() && col.title != col.fieldName)
        add("Title.Caption", [&](Writer& v) { v.string(col.title); });
    if (col.width > 0)
        add("Width", [&](Writer& v) { v.integer(col.width); });
    add("Visible", [&](Writer& v) { v.boolean(col.visible); });
    for (const ColumnProperty& p : col.stored)
        entries.append({rankOf(p.name), p.name, p.value});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.rank < b.rank; });

    w.byte(vaList);
    for (const Entry& e : entries) {
        w.shortString(e.name);
        w.out.append(e.value);
    }
    w.byte(vaNull);
}

} // namespace

// ---------------------------------------------------------------- TObjectWrapper

QByteArray TObjectWrapper::write() const {
    Writer w;
    w.out.append(kSignature, 4);
    w.shortString("TObjectWrapper");
    w.shortString({});
    w.shortString("WrappedPersistent");
    w.byte(vaCollection);
    for (const GridColumn& col : WrappedPersistent)
        writeColumn(w, col);
    w.byte(vaNull);
    w.shortString("CurrentClassName");
    w.string(CurrentClassName);
    w.byte(vaNull); // end of properties
    w.byte(vaNull); // end of child objects
    return w.out;
}

// ---------------------------------------------------------------- LayoutReader

LayoutReader::LayoutReader(QByteArray data) : m_data(std::move(data)) {}

LayoutReader::Outcome LayoutReader::next(TObjectWrapper* record) {
    if (m_failed)
        return Outcome::Failed;
    Cursor c(m_data, m_pos);
    TObjectWrapper rec;
    try {
        if (c.bytes(4) != QByteArray(kSignature, 4))
            throw ReadFailure{};
        c.shortString(); // class name
        c.shortString(); // object name
        while (c.peek() != vaNull) {
            const QByteArray name = c.shortString();
            if (sameName(name, "WrappedPersistent")) {
                rec.WrappedPersistent = readColumns(c, m_data);
                rec.hasWrappedPersistent = true;
            } else if (sameName(name, "CurrentClassName")) {
                rec.CurrentClassName = readString(c);
            } else if (sameName(name, "WrappedComponent")) {
                checkValue(c, {"WrappedComponent", Kind::Component});
            } else {
                throw ReadFailure{};
            }
        }
        c.byte();
    } catch (const ReadFailure&) {
        m_failed = true;
        return Outcome::Failed;
    }

    Outcome outcome = Outcome::Loaded;
    try {
        if (c.peek() != vaNull) {
            // A wrapper has no children, so no child's kind is known. Once
            // its class name is read it is reported; passing over the rest
            // lets the next record be read.
            const quint8 flags = c.peek();
            if ((flags & 0xF0) == 0xF0) {
                c.byte();
                if (flags & 0x02)
                    skipValue(c, 1);
            }
            c.shortString();
            outcome = Outcome::UnknownObject;
            skipObjectBody(c, 1);
            while (c.peek() != vaNull) {
                c.shortString();
                skipObjectBody(c, 1);
            }
        }
        c.byte();
        m_pos = c.pos();
    } catch (const ReadFailure&) {
        m_failed = true;
        if (outcome == Outcome::Loaded)
            return Outcome::Failed;
    }
    *record = std::move(rec);
    return outcome;
}

// ---------------------------------------------------------------- TCustomFileStraam

TCustomFileStraam::TCustomFileStraam(const QString& path) : m_file(path) {
    if (!m_file.open(QIODevice::ReadWrite))
        throw std::runtime_error(QStringLiteral("Fisierul %1 nu poate fi deschis: %2")
                                     .arg(path, SystemError::romanian(m_file.errorString()))
                                     .toLocal8Bit()
                                     .toStdString());
}

bool TCustomFileStraam::save(const QList<TDBGridNormal*>& grids) {
    try {
        QByteArray out;
        for (int i = 0; i < grids.size(); ++i) {
            TObjectWrapper rec;
            if (grids.at(i))
                rec.WrappedPersistent = grids.at(i)->layoutColumns();
            rec.CurrentClassName = QString::number(i);
            out += rec.write();
        }
        return m_file.seek(0) && m_file.write(out) == out.size() && m_file.flush();
    } catch (...) {
        return false;
    }
}

bool TCustomFileStraam::load(const QList<TDBGridNormal*>& grids) {
    try {
        if (!m_file.seek(0))
            return false;
        LayoutReader reader(m_file.read(LayoutReader::MaxFileBytes));
        bool whole = true;
        for (TDBGridNormal* grid : grids) {
            TObjectWrapper rec;
            const LayoutReader::Outcome outcome = reader.next(&rec);
            if (outcome == LayoutReader::Outcome::Failed)
                return false;
            if (grid && rec.hasWrappedPersistent)
                grid->applyLayout(rec.WrappedPersistent);
            if (outcome == LayoutReader::Outcome::UnknownObject) {
                whole = false;
                Prompts::current().message(QCoreApplication::applicationName(),
                                           QStringLiteral("init settings failed"), PromptIcon::None,
                                           PromptButtons::Ok, PromptAnswer::Ok);
            }
        }
        return whole;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------- ColumnLook

namespace {

Qt::Alignment alignmentOf(const QByteArray& ident) {
    if (sameName(ident, "taRightJustify"))
        return Qt::AlignRight | Qt::AlignVCenter;
    if (sameName(ident, "taCenter"))
        return Qt::AlignHCenter | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Applies one font attribute; sizes are kept within what can be drawn.
void applyFont(std::optional<QFont>& font, const QByteArray& attribute, Cursor& c) {
    if (!font)
        font = QFont();
    if (sameName(attribute, "Height")) {
        const qint64 h = std::abs(qint64(readInt(c)));
        if (h > 0)
            font->setPixelSize(int(std::clamp<qint64>(h, 1, 200)));
    } else if (sameName(attribute, "Size")) {
        const qint32 s = readInt(c);
        if (s > 0)
            font->setPointSize(std::clamp(s, 1, 150));
    } else if (sameName(attribute, "Name")) {
        font->setFamily(readString(c));
    } else if (sameName(attribute, "Style")) {
        const QList<QByteArray> set = readSet(c);
        const auto has = [&set](const char* s) {
            return std::any_of(set.begin(), set.end(),
                               [s](const QByteArray& i) { return sameName(i, s); });
        };
        font->setBold(has("fsBold"));
        font->setItalic(has("fsItalic"));
        font->setUnderline(has("fsUnderline"));
        font->setStrikeOut(has("fsStrikeOut"));
    }
}

} // namespace

ColumnLook ColumnLook::of(const GridColumn& column) {
    ColumnLook look;
    for (const ColumnProperty& p : column.stored) {
        Cursor c(p.value, 0);
        const QByteArray& n = p.name;
        try {
            if (sameName(n, "Alignment"))
                look.alignment = alignmentOf(readIdent(c));
            else if (sameName(n, "Title.Alignment"))
                look.titleAlignment = alignmentOf(readIdent(c));
            else if (sameName(n, "Color"))
                look.color = readColor(c);
            else if (sameName(n, "Title.Color"))
                look.titleColor = readColor(c);
            else if (sameName(n, "Font.Color"))
                look.fontColor = readColor(c);
            else if (sameName(n, "Title.Font.Color"))
                look.titleFontColor = readColor(c);
            else if (sameName(n, "ReadOnly"))
                look.readOnly = readBool(c);
            else if (sameName(n, "DropDownRows"))
                look.dropDownRows = std::clamp(readInt(c), 1, 100);
            else if (sameName(n, "ButtonStyle"))
                look.dropDownButton = !sameName(readIdent(c), "cbsNone");
            else if (n.size() > 11 && sameName(n.left(11), "Title.Font."))
                applyFont(look.titleFont, n.mid(11), c);
            else if (n.size() > 5 && sameName(n.left(5), "Font."))
                applyFont(look.font, n.mid(5), c);
        } catch (const ReadFailure&) {
            // Checked when read; a value that cannot be shown is left out.
        }
    }
    return look;
}

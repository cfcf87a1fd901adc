#include "Schema.h"

#include "Connection.h"
#include "SqlText.h"
#include "StoreError.h"

#include <QRegularExpression>

namespace {

FieldDef num(const char* n) {
    return {QString::fromLatin1(n), FieldType::Number, 0, false};
}
FieldDef txt(const char* n, int size) {
    return {QString::fromLatin1(n), FieldType::Text, size, false};
}
FieldDef date(const char* n) {
    return {QString::fromLatin1(n), FieldType::Date, 0, false};
}
FieldDef logical(const char* n) {
    return {QString::fromLatin1(n), FieldType::Logical, 0, false};
}
FieldDef longint(const char* n) {
    return {QString::fromLatin1(n), FieldType::LongInt, 0, false};
}
FieldDef memo(const char* n) {
    return {QString::fromLatin1(n), FieldType::Memo, 0, false};
}

QList<TableDef> buildTables() {
    QList<TableDef> t;
    t.append(
        {QStringLiteral("Catalog"),
         {num("Id_Loc"), txt("Cimitir", 30), txt("Sector", 10), txt("Parcela", 10), txt("Rand", 10),
          txt("Loc", 10), txt("CNP_Uzufruct", 13), txt("Nume_Uzufruct", 50),
          txt("Observatii", 255)},
         {{QStringLiteral("Catalog_primary"), QStringLiteral("Id_Loc"), true},
          {QStringLiteral("Catalog_Cimitir"),
           QStringLiteral("Cimitir;Sector;Parcela;Rand;Loc;CNP_Uzufruct"), false},
          {QStringLiteral("Catalog_Sector"), QStringLiteral("Sector;Parcela;Rand;Loc;CNP_Uzufruct"),
           false},
          {QStringLiteral("Catalog_Parcela"), QStringLiteral("Parcela;Rand;Loc;CNP_Uzufruct"),
           false},
          {QStringLiteral("Catalog_Rand"), QStringLiteral("Rand;Loc;CNP_Uzufruct"), false},
          {QStringLiteral("Catalog_Loc"), QStringLiteral("Loc;CNP_Uzufruct"), false},
          {QStringLiteral("Catalog_CNP"), QStringLiteral("CNP_Uzufruct"), false},
          {QStringLiteral("Catalog_Nume"), QStringLiteral("Nume_Uzufruct;CNP_Uzufruct"), false}}});
    t.append({QStringLiteral("Concesionari"),
              {num("Id_Loc"),
               num("Nr_concesiune"),
               date("Data_concesiune"),
               txt("Act_concesiune", 100),
               txt("CNP_Uzufruct", 13),
               txt("Nume_Uzufruct", 50),
               txt("Strada", 30),
               txt("Numarul", 10),
               txt("Bloc", 10),
               txt("Scara", 2),
               num("Etaj"),
               num("Apartament"),
               txt("Judet", 30),
               txt("Seria_buletin", 2),
               num("Nr_buletin"),
               txt("Eliberat_buletin", 30),
               date("Data_Elib_buletin"),
               txt("Telefon_fix", 20),
               txt("Telefon_mobil", 20),
               logical("Scutit_concesiune"),
               txt("Nr_doc_scutit", 10),
               date("Data_doc_scutit"),
               memo("Explicatie"),
               longint("Nr_ani_concesiune"),
               txt("Observatii", 255),
               txt("Localitatea", 30)},
              {{QStringLiteral("Concesionari_primary"),
                QStringLiteral("Id_Loc;Data_concesiune;Nr_concesiune"), false}}});
    t.append({QStringLiteral("PersInmormantate"),
              {num("Id_Loc"), num("Numar"), date("Data"), txt("Numele", 50),
               txt("Grad_rudenie_uzufruct", 20), txt("Serie_CD", 10), num("Nr_CD"), date("Data_CD"),
               txt("Eliberat_CD", 50)},
              {{QStringLiteral("PersInmormantate_primary"), QStringLiteral("Id_Loc;Numar;Data"),
                false}}});
    t.append(
        {QStringLiteral("Chitante"),
         {num("Id_Loc"), num("Nr_chit"), date("Data"), txt("Explicatie", 50), num("Suma"),
          txt("Numele_beneficiarului", 50), txt("Tip_incasare", 30), date("DStart"), date("DStop")},
         {{QStringLiteral("Chitante_primary"), QStringLiteral("Id_Loc;Data;Nr_chit"), false}}});
    t.append({QStringLiteral("Unitatea"), {txt("Cimitir", 30)}, {}});
    return t;
}

} // namespace

namespace Schema {

const QList<TableDef>& tables() {
    static const QList<TableDef> t = buildTables();
    return t;
}

const TableDef* find(const QString& tableName) {
    for (const TableDef& t : tables())
        if (t.name.compare(tableName, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString declaredType(const FieldDef& f) {
    switch (f.type) {
    case FieldType::Number:
        return QStringLiteral("DOUBLE");
    case FieldType::Text:
        return QStringLiteral("CHAR(%1)").arg(f.size);
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::Logical:
        return QStringLiteral("BOOLEAN");
    case FieldType::LongInt:
        return QStringLiteral("INTEGER");
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    }
    return QStringLiteral("TEXT");
}

FieldDef fieldFromDeclared(const QString& name, const QString& declared) {
    static const QRegularExpression sized(
        QStringLiteral("^\\s*(?:VAR)?CHAR(?:ACTER)?\\s*\\(\\s*(\\d+)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    FieldDef f;
    f.name = name;
    const QString d = declared.trimmed().toUpper();
    if (auto m = sized.match(d); m.hasMatch()) {
        f.type = FieldType::Text;
        f.size = m.captured(1).toInt();
    } else if (d.startsWith(QLatin1String("DATE"))) {
        f.type = FieldType::Date;
    } else if (d.startsWith(QLatin1String("BOOL")) || d.startsWith(QLatin1String("LOGICAL"))) {
        f.type = FieldType::Logical;
    } else if (d.contains(QLatin1String("INT"))) {
        f.type = FieldType::LongInt;
    } else if (d.contains(QLatin1String("DOUB")) || d.contains(QLatin1String("REAL")) ||
               d.contains(QLatin1String("FLOA")) || d.contains(QLatin1String("NUM"))) {
        f.type = FieldType::Number;
    } else {
        f.type = FieldType::Memo;
    }
    return f;
}

QString primaryIndexName(const QString& tableName) {
    return tableName + QStringLiteral("_primary");
}

QString createIndexSql(const TableDef& t, const IndexDef& i) {
    QStringList fields;
    for (const QString& f : i.fields.split(QLatin1Char(';')))
        fields << quoted(f);
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), quoted(i.name), quoted(t.name),
             fields.join(QStringLiteral(", ")));
}

void createTables(Connection& db) {
    db.begin();
    try {
        for (const TableDef& t : tables())
            db.createTable(t);
        db.execute(QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            db.execute(QStringLiteral("ROLLBACK"));
        } catch (const StoreError&) {
        }
        throw;
    }
}

} // namespace Schema

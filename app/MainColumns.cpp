#include "MainColumns.h"

namespace MainColumns {

QList<GridColumn> catalog() {
    return {
        GridColumn::make(QStringLiteral("NrCrt"), {}, 34),
        GridColumn::make(QStringLiteral("Cimitir"), QStringLiteral("Cimitirul"), 203),
        GridColumn::make(QStringLiteral("Sector"), QStringLiteral("Sectorul"), 50),
        GridColumn::make(QStringLiteral("Parcela"), {}, 45),
        GridColumn::make(QStringLiteral("Rand"), QStringLiteral("Randul"), 47),
        GridColumn::make(QStringLiteral("Loc"), QStringLiteral("Locul"), 44),
        GridColumn::make(QStringLiteral("CNP_Uzufruct"), QStringLiteral("Cod personal uzufruct")),
        GridColumn::make(QStringLiteral("Nume_Uzufruct"),
                         QStringLiteral("Numele si prenumele uzufructului"), 183),
        GridColumn::make(QStringLiteral("Observatii"), {}, 404),
    };
}

QList<GridColumn> istoric() {
    return {
        GridColumn::make(QStringLiteral("Nr_concesiune"), QStringLiteral("Nr concesiune")),
        GridColumn::make(QStringLiteral("Data_concesiune"), QStringLiteral("Data")),
        GridColumn::make(QStringLiteral("Act_concesiune"), QStringLiteral("Act concesiune"), 184),
        GridColumn::make(QStringLiteral("Nr_ani_concesiune"), QStringLiteral("Durata (ani)"), 59),
        GridColumn::make(QStringLiteral("CNP_Uzufruct"), QStringLiteral("Cod personal"), 84),
        GridColumn::make(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Numele si prenumele"),
                         183),
        GridColumn::make(QStringLiteral("Localitatea")),
        GridColumn::make(QStringLiteral("Strada"), {}, 129),
        GridColumn::make(QStringLiteral("Numarul"), QStringLiteral("Nr."), 28),
        GridColumn::make(QStringLiteral("Bloc"), QStringLiteral("Bl."), 28),
        GridColumn::make(QStringLiteral("Scara"), QStringLiteral("Sc.")),
        GridColumn::make(QStringLiteral("Etaj"), QStringLiteral("Et."), 20),
        GridColumn::make(QStringLiteral("Apartament"), QStringLiteral("Ap."), 23),
        GridColumn::make(QStringLiteral("Judet"), {}, 113),
        GridColumn::make(QStringLiteral("Seria_buletin"), QStringLiteral("BI-Seria")),
        GridColumn::make(QStringLiteral("Nr_buletin"), QStringLiteral("BI-Numar")),
        GridColumn::make(QStringLiteral("Eliberat_buletin"), QStringLiteral("BI-Eliberat"), 83),
        GridColumn::make(QStringLiteral("Data_Elib_buletin"), QStringLiteral("BI-Data elib.")),
        GridColumn::make(QStringLiteral("Telefon_fix"), QStringLiteral("Telefon fix"), 67),
        GridColumn::make(QStringLiteral("Telefon_mobil"), QStringLiteral("Telefon mobil"), 76),
        GridColumn::make(QStringLiteral("Observatii"), {}, 500),
    };
}

QList<GridColumn> morti() {
    return {
        GridColumn::make(QStringLiteral("Numar"), {}, 38),
        GridColumn::make(QStringLiteral("Data")),
        GridColumn::make(QStringLiteral("Numele"), QStringLiteral("Numele si prenumele"), 216),
        GridColumn::make(QStringLiteral("Grad_rudenie_uzufruct"), QStringLiteral("Grad rudenie"),
                         65),
        GridColumn::make(QStringLiteral("Serie_CD"), QStringLiteral("Serie certif. deces")),
        GridColumn::make(QStringLiteral("Nr_CD"), QStringLiteral("Numar certif. deces")),
        GridColumn::make(QStringLiteral("Data_CD"), QStringLiteral("Data certif. deces")),
        GridColumn::make(QStringLiteral("Eliberat_CD"), QStringLiteral("Eliberat (certif. deces)"),
                         107),
    };
}

QStringList collectionTypes() {
    return {QStringLiteral("Concesiune"),       QStringLiteral("Reconcesiune"),
            QStringLiteral("Taxa anuala"),      QStringLiteral("Inhumare"),
            QStringLiteral("Lucrari funerare"), QStringLiteral("Alte taxe")};
}

QList<GridColumn> chitante() {
    GridColumn tip =
        GridColumn::make(QStringLiteral("Tip_incasare"), QStringLiteral("Tipul incasarii "), 139);
    tip.pickList = collectionTypes();
    return {
        GridColumn::make(QStringLiteral("Nr_chit"), QStringLiteral("Nr. chit."), 41),
        GridColumn::make(QStringLiteral("Data"), QStringLiteral("Data chit."), 59),
        GridColumn::make(QStringLiteral("Suma"), {}, 44),
        tip,
        GridColumn::make(QStringLiteral("Numele_beneficiarului"),
                         QStringLiteral("Achitata de (numele)"), 192),
        GridColumn::make(QStringLiteral("Explicatie"), {}, 147),
        GridColumn::make(QStringLiteral("DStart"), QStringLiteral("Achitat de la...")),
        GridColumn::make(QStringLiteral("DStop"), QStringLiteral("Achitat pana la...")),
    };
}

} // namespace MainColumns

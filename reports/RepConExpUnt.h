#pragma once

// "Situatia concesiunilor expirate": the places with a current holder whose
// latest concession ran out before the chosen date, cemetery by cemetery.

#include <QDate>
#include <QVariant>

// The last day of a concession granted on `dataConcesiune` for `nrAni`
// years (an empty term counts as none): the same day `nrAni` years later,
// less one day; 29 February is taken as 28 February when that year is not
// a multiple of four. Invalid (no expiry) when the date is empty or the
// day cannot be formed.
QDate DataExpConcesiune(const QVariant& dataConcesiune, const QVariant& nrAni);

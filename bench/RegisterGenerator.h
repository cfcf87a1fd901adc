#pragma once

#include <QtGlobal>

class Database;

// Fills an empty register with a realistic synthetic one: several
// cemeteries; sectors, parcels, rows and places with values such as 12, 12A
// and A; Romanian names; mostly valid personal codes, some invalid, some
// places unoccupied; 0-3 concessions, 0-4 buried persons and 0-12 receipts
// per place. The same seed gives the same register.
void generateRegister(Database& db, int places, quint32 seed);

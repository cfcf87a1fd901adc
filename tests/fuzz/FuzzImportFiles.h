#pragma once

#include <QString>
#include <QStringList>

// The valid old files the import's fuzz target starts from, written with
// pxlib's writer: a few places with every detail, long and short memos.
namespace FuzzImportFiles {

// The files the first byte of an input chooses from, in that order.
QStringList names();
void write(const QString& dir);

} // namespace FuzzImportFiles

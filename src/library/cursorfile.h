// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_CURSORFILE_H
#define ZORVINA_CURSORFILE_H

#include <QImage>
#include <QPoint>

class QString;

// One mouse pointer picture and the pixel that points.
struct CursorImage
{
    QImage image; // Format_ARGB32
    QPoint hotspot;
};

// Reads a Windows .cur file. Of several pictures the one nearest 32 x 32 wins.
// Throws FileError: NotFound when the file is missing, ReadFailed when it
// cannot be read (see readRegularFile), BadFormat when it is not a well-formed
// cursor file.
CursorImage readCursorFile(const QString &path);

// Writes image (at most 256 x 256) as a single 32-bit entry with an AND mask
// for programs that ignore alpha, whole or not at all (see replaceFile). Throws
// FileError(WriteFailed) on failure.
void writeCursorFile(const QString &path, const QImage &image, const QPoint &hotspot);

#endif

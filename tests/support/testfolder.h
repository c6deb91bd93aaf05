// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_TESTFOLDER_H
#define ZORVINA_TESTFOLDER_H

#include "appfolder.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

// An application folder of the test's own, with the library and working
// folders in place and nothing else.
class TestFolder
{
public:
    TestFolder()
    {
        for (const char *sub : {"hanzi", "Temp", "Work"})
            QDir(path()).mkdir(QLatin1String(sub));
    }

    QString path() const { return m_dir.path(); }
    AppFolder folder() const { return AppFolder(path()); }
    QString file(const QString &suffix) const { return path() + suffix; }

    void write(const QString &suffix, const QByteArray &bytes) const
    {
        QFile file(path() + suffix);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write test file");
    }

    // text as GB18030, the way the program's text files are written.
    void writeText(const QString &suffix, const QString &text) const
    {
        QStringEncoder encoder("GB18030");
        write(suffix, encoder.encode(text));
    }

    QByteArray read(const QString &suffix) const
    {
        QFile file(path() + suffix);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A symbolic link at suffix to target (a path of its own).
    void link(const QString &suffix, const QString &target) const
    {
        if (!QFile::link(target, path() + suffix))
            qFatal("cannot make test link");
    }

    bool exists(const QString &suffix) const { return QFile::exists(path() + suffix); }

    // The names of the files in a folder of the application folder, sorted.
    QStringList files(const QString &sub) const
    {
        return QDir(path() + sub).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static QByteArray movieBytes(const QString &c) { return "movie of " + c.toUtf8(); }

    void addMovie(const QString &c) const
    {
        write(QStringLiteral("/hanzi/") + c + QStringLiteral(".haz"), movieBytes(c));
    }

private:
    QTemporaryDir m_dir;
};

#endif

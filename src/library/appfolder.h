#ifndef ZORVINA_APPFOLDER_H
#define ZORVINA_APPFOLDER_H

#include <QString>

// The folder that holds the program file and everything the program reads and
// writes. Every path is this folder's path followed directly by a fixed
// suffix; nothing is inserted, removed or normalised.
class AppFolder
{
public:
    // path: the folder, without a trailing separator (a root keeps its own).
    explicit AppFolder(const QString &path);

    // The folder of the running program file.
    static AppFolder ofProgram();

    QString path() const { return m_path; }
    QString file(const QString &suffix) const { return m_path + suffix; }

    QString characterList() const;
    QString rememberedCharacter() const;
    QString pointer() const;

    // The movie of character c in the library, its copy while staging, and
    // the file handed to the player.
    QString movie(const QString &c) const;
    QString stagingCopy(const QString &c) const;
    QString playable(const QString &c) const;

    QString stagingSweep() const;
    QString playingSweep() const;

private:
    QString m_path;
};

#endif

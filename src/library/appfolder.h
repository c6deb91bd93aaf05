// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_APPFOLDER_H
#define ZORVINA_APPFOLDER_H

#include <QString>

// The folder that holds the program file and what the program reads, and the
// folder it writes in: the same folder for a copied or portable program, the
// user's own data folder for one installed where the user cannot write. Every
// path is one of these folders' paths followed directly by a fixed suffix;
// nothing is inserted, removed or normalised.
class AppFolder
{
public:
    // path: the folder, without a trailing separator (a root keeps its own);
    // everything is read and written there.
    explicit AppFolder(const QString &path);
    // Reads from path, writes in userPath; a character list or a movie that
    // the user keeps in userPath is preferred to the one in path.
    AppFolder(const QString &path, const QString &userPath);

    // The running program's folder; the user's data folder for writing when
    // that folder is not writable (see isWritable).
    static AppFolder ofProgram();
    // Whether the program can do its writing in the folder at path: it holds
    // the working folders Temp and Work, and the user may write in all three.
    static bool isWritable(const QString &path);

    QString path() const { return m_path; }
    // The folder config.ini, Temp and Work are in.
    QString writingPath() const { return m_writingPath; }
    QString file(const QString &suffix) const { return m_path + suffix; }

    // Creates the writing folder and its working folders when they are the
    // user's, which may not exist yet. Failures show up at the first write.
    void makeWritingFolders() const;
    // Makes the writing folders when they are the user's, and tells whether
    // the program can write there; when it cannot, no movie can be staged
    // and the character cannot be remembered.
    bool canWrite() const;

    QString characterList() const;
    // config.ini as the program writes it, and as it reads it: an installed
    // program starts from the one installed with it until the user has one.
    QString rememberedCharacter() const;
    QString rememberedCharacterToRead() const;
    QString pointer() const;

    // The movie of character c in the library, its copy while staging, and
    // the file handed to the player.
    QString movie(const QString &c) const;
    QString stagingCopy(const QString &c) const;
    QString playable(const QString &c) const;
    QString playingFolder() const;

    QString stagingSweep() const;
    QString playingSweep() const;

private:
    // The user's own copy of suffix when there is one, else the program's.
    QString preferUsers(const QString &suffix) const;

    QString m_path;
    QString m_writingPath;
};

#endif

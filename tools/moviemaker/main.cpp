// SPDX-License-Identifier: GPL-3.0-or-later
// zorvina-moviemaker: writes the character movies (.haz) the program plays,
// and the default application folder's character list.
#include "characterdata.h"
#include "listfile.h"
#include "makererror.h"
#include "moviebuilder.h"
#include "moviecache.h"
#include "readings.h"
#include "speech.h"
#include "strokenames.h"
#include "swferror.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <QThreadPool>
#include <QtConcurrent>
#include <cstdio>

namespace {

struct Job
{
    QString character;
    MovieInput input;
    QString pinyin;
    QByteArray key;       // what the movie is made from
    QString error;        // set when the job cannot even start
    bool current = false; // the movie made from the same inputs is there
};

struct Outcome
{
    QString error;
};

void printError(const QString &message)
{
    std::fprintf(stderr, "zorvina-moviemaker: %s\n", qUtf8Printable(message));
}

QString moviePath(const QString &outDir, const QString &character)
{
    return outDir + QLatin1Char('/') + character + QStringLiteral(".haz");
}

QByteArray fileBytes(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Outcome makeMovieFile(Job job, const QString &outDir, const QString &voiceDir)
{
    if (!job.error.isEmpty())
        return {job.error};
    try {
        if (!job.pinyin.isEmpty())
            addSpeech(job.input, job.pinyin, voiceDir);
        const QByteArray movie = buildMovie(job.input, planMovie(job.input));
        QSaveFile file(moviePath(outDir, job.character));
        if (!file.open(QIODevice::WriteOnly) || file.write(movie) != movie.size() || !file.commit())
            return {QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString())};
        return {QString()};
    } catch (const MakerError &error) {
        return {error.message()};
    } catch (const SwfError &error) {
        return {QStringLiteral("%1: %2").arg(job.character, error.message())};
    }
}

// Installed, the tool's data lies in ../share/zorvina beside it; in a build
// tree it is where the build found it.
QString dataPath(const char *installedName, const char *builtPath)
{
    const QString installed = QCoreApplication::applicationDirPath() +
                              QStringLiteral("/../share/zorvina/") + QLatin1String(installedName);
    return QFileInfo::exists(installed) ? installed : QString::fromUtf8(builtPath);
}

QStringList collectCharacters(const QCommandLineParser &parser)
{
    QStringList characters;
    const auto add = [&](const QStringList &more) {
        for (const QString &character : more) {
            if (!characters.contains(character))
                characters.append(character);
        }
    };
    for (const QString &order : parser.values(QStringLiteral("order")))
        add(readTeachingOrder(order));
    for (const QString &list : parser.values(QStringLiteral("list"))) {
        QStringList skipped;
        add(readHanziIni(list, parser.value(QStringLiteral("data")), skipped));
        if (!skipped.isEmpty())
            std::printf("Left out of %s, no movie can be made of them: %s\n", qUtf8Printable(list),
                        qUtf8Printable(skipped.join(QStringLiteral(", "))));
    }
    for (const QString &argument : parser.positionalArguments())
        add(splitCharacters(argument));
    return characters;
}

// Adds the most frequent characters until the list is count long, leaving
// out (and returning) those the stroke data lacks.
QStringList fillByFrequency(QStringList &characters, const QString &frequencyFile, int count,
                            const QString &dataDir)
{
    QStringList lacking;
    QSet<QString> listed(characters.begin(), characters.end());
    for (const QString &character : readFrequencyList(frequencyFile)) {
        if (characters.size() >= count)
            break;
        if (listed.contains(character))
            continue;
        if (!QFile::exists(characterFile(dataDir, character))) {
            lacking.append(character);
            continue;
        }
        characters.append(character);
        listed.insert(character);
    }
    return lacking;
}

void report(const QString &what, const QStringList &which)
{
    if (!which.isEmpty())
        std::printf("%lld %s: %s\n", static_cast<long long>(which.size()), qUtf8Printable(what),
                    qUtf8Printable(which.join(QLatin1Char(' '))));
}

StrokeNames loadStrokeNames()
{
    return StrokeNames(dataPath("cnchar.order.min.js", ZORVINA_STROKE_NAMES),
                       dataPath("cjk-decomp.txt.js", ZORVINA_DECOMPOSITION),
                       dataPath("stroke-names-checked.txt", ZORVINA_CHECKED_NAMES));
}

QString ruleName(NamedBy namedBy)
{
    switch (namedBy) {
    case NamedBy::DataLetter:
        return QStringLiteral("data letter");
    case NamedBy::CentreLine:
        return QStringLiteral("centre line");
    case NamedBy::Components:
        return QStringLiteral("components");
    case NamedBy::CheckedTable:
        return QStringLiteral("checked table");
    case NamedBy::Nothing:
        break;
    }
    return QStringLiteral("no rule fits");
}

QString voiceName(VoiceSource source)
{
    switch (source) {
    case VoiceSource::Recording:
        return QStringLiteral("recording");
    case VoiceSource::Repitched:
        return QStringLiteral("re-pitched recording");
    case VoiceSource::Espeak:
        break;
    }
    return QStringLiteral("espeak-ng");
}

// Where a reading's voice comes from, or why there is none.
QString voiceOf(const QString &pinyin, const QString &voiceDir)
{
    if (pinyin.isEmpty())
        return QStringLiteral("none, no reading is known");
    try {
        return voiceName(pronounce(voiceDir, toneNumbered(pinyin)).source);
    } catch (const MakerError &error) {
        return QStringLiteral("none: %1").arg(error.message());
    }
}

// What a movie of each character would show and say, and why.
int explain(const QStringList &characters, const QString &dataDir, Readings &known,
            const StrokeNames &strokeNames, const QString &voiceDir)
{
    int failed = 0;
    for (const QString &character : characters) {
        try {
            const CharacterData data = loadCharacter(dataDir, character);
            const QString pinyin = known.reading(character);
            std::printf("%s  reading: %s  voice: %s\n", qUtf8Printable(character),
                        qUtf8Printable(pinyin.isEmpty() ? QStringLiteral("-") : pinyin),
                        qUtf8Printable(voiceOf(pinyin, voiceDir)));
            const QList<StrokeName> names = strokeNames.explain(character, data.medians);
            for (int i = 0; i < names.size(); ++i)
                std::printf(
                    "  %d %s (%s)\n", i + 1,
                    qUtf8Printable(names[i].name.isEmpty() ? QStringLiteral("-") : names[i].name),
                    qUtf8Printable(ruleName(names[i].namedBy)));
        } catch (const MakerError &error) {
            printError(error.message());
            ++failed;
        }
    }
    return failed > 0 ? 1 : 0;
}

// The voices of the list that are not recordings, by kind; each syllable is
// looked at once.
QString voiceSummary(const QStringList &pinyins, const QString &voiceDir)
{
    QStringList syllables;
    for (const QString &pinyin : pinyins) {
        if (!pinyin.isEmpty() && !syllables.contains(pinyin))
            syllables.append(pinyin);
    }
    const QList<QString> kinds = QtConcurrent::blockingMapped<QList<QString>>(
        syllables, [&](const QString &syllable) { return voiceOf(syllable, voiceDir); });
    QMap<QString, QStringList> byKind;
    for (int i = 0; i < syllables.size(); ++i) {
        if (kinds[i] != voiceName(VoiceSource::Recording))
            byKind[kinds[i]].append(syllables[i]);
    }
    QStringList parts;
    for (auto it = byKind.begin(); it != byKind.end(); ++it)
        parts.append(QStringLiteral("%1 %2 (%3)")
                         .arg(it.value().size())
                         .arg(it.key(), it.value().join(QLatin1Char(' '))));
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char *argv[])
{
    // The tool draws lettering with Qt's fonts but never shows a window; it
    // must also run in builds without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvina-moviemaker"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes the stroke-order movies (<character>.haz) that Zorvina plays.\n"
                       "Example: zorvina-moviemaker --out app/hanzi 字 词\n"
                       "         zorvina-moviemaker --out app/hanzi --list app/hanzi.ini"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("characters"),
                                 QStringLiteral("Characters to make movies of."),
                                 QStringLiteral("[characters...]"));
    const auto option = [](const char *name, const char *help, const char *value,
                           const QString &byDefault = QString()) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help),
                                  QString::fromLatin1(value), byDefault);
    };
    const QCommandLineOption out =
        option("out", "Folder for the movies (the program's hanzi folder).", "folder");
    const QCommandLineOption order = option(
        "order", "Also make every character of this teaching order (UTF-8, one a line).", "file");
    const QCommandLineOption list =
        option("list", "Also make every character of this hanzi.ini, read as the program reads it.",
               "file");
    const QCommandLineOption fillFrom =
        option("fill-from", "Frequency list to add characters from, most frequent first.", "file");
    const QCommandLineOption fillTo =
        option("fill-to", "Add characters from --fill-from until there are this many.", "count");
    const QCommandLineOption writeList = option(
        "write-list", "When all movies are made, write the characters to this hanzi.ini.", "file");
    const QCommandLineOption writeConfig =
        option("write-config",
               "When all movies are made, write the first character to this config.ini, unless "
               "it exists already.",
               "file");
    const QCommandLineOption cache = option(
        "cache", "Remember the inputs of each movie here and make only changed ones.", "file");
    const QCommandLineOption data =
        option("data", "Folder of the stroke data (hanzi-writer-data).", "folder",
               dataPath("hanzi-writer-data", ZORVINA_HANZI_DATA));
    const QCommandLineOption readings =
        option("readings", "Folder of the readings data (@pinyin-pro/data/json).", "folder",
               dataPath("readings", ZORVINA_READINGS_DATA));
    const QCommandLineOption voices =
        option("voices", "Folder of the recorded syllables (cnchar-data's voice folder).", "folder",
               dataPath("voices", ZORVINA_VOICE_DATA));
    const QCommandLineOption jobs =
        option("jobs", "Movies made at the same time (default: cores).", "count");
    const QCommandLineOption explainOption =
        option("explain",
               "Make no movies; print each character's strokes with their names and the rule that "
               "named each, its reading and where its voice comes from.",
               "characters");
    parser.addOptions({out, order, list, fillFrom, fillTo, writeList, writeConfig, cache, data,
                       readings, voices, jobs, explainOption});
    parser.process(app);

    if (parser.isSet(explainOption)) {
        try {
            Readings known(parser.value(readings),
                           dataPath("readings-supplement.txt", ZORVINA_READINGS_SUPPLEMENT));
            return explain(splitCharacters(parser.value(explainOption)), parser.value(data), known,
                           loadStrokeNames(), parser.value(voices));
        } catch (const MessageError &error) {
            printError(error.message());
            return 2;
        }
    }
    if (!parser.isSet(out)) {
        printError(QStringLiteral("say where the movies go with --out <folder> (see --help)"));
        return 2;
    }
    QStringList characters;
    QStringList lacking;
    try {
        characters = collectCharacters(parser);
        if (parser.isSet(fillFrom))
            lacking = fillByFrequency(characters, parser.value(fillFrom),
                                      parser.value(fillTo).toInt(), parser.value(data));
    } catch (const MessageError &error) {
        printError(error.message());
        return 2;
    }
    if (characters.isEmpty()) {
        printError(QStringLiteral("no characters given (see --help)"));
        return 2;
    }
    const QString outDir = parser.value(out);
    if (!QDir().mkpath(outDir)) {
        printError(QStringLiteral("cannot create the folder %1").arg(outDir));
        return 1;
    }
    if (parser.isSet(jobs))
        QThreadPool::globalInstance()->setMaxThreadCount(std::max(1, parser.value(jobs).toInt()));

    QElapsedTimer timer;
    timer.start();
    MovieCache made(parser.isSet(cache) ? parser.value(cache) : QString());
    QList<Job> work;
    QStringList unnamed;
    int unnamedStrokes = 0;
    QStringList miscounted;
    QStringList pinyins;
    try {
        Readings known(parser.value(readings),
                       dataPath("readings-supplement.txt", ZORVINA_READINGS_SUPPLEMENT));
        const StrokeNames strokeNames = loadStrokeNames();
        const QFont font = pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT));
        Lettering lettering(QStringLiteral(ZORVINA_LABEL_FONT));
        // Everything a movie is made from, for the cache: this tool, its
        // fonts, and each character's own data.
        QCryptographicHash common(QCryptographicHash::Sha256);
        for (const QString &file :
             {QCoreApplication::applicationFilePath(), QStringLiteral(ZORVINA_PINYIN_FONT),
              QStringLiteral(ZORVINA_LABEL_FONT)})
            common.addData(fileBytes(file));
        for (const QString &character : characters) {
            Job job{character, MovieInput(), QString(), QByteArray(), QString()};
            try {
                job.input.data = loadCharacter(parser.value(data), character);
                job.pinyin = known.reading(character);
                if (job.pinyin.isEmpty())
                    printError(QStringLiteral("warning: no reading (pinyin) is known for %1; its "
                                              "movie only writes it, without pinyin or sound")
                                   .arg(character));
                else
                    job.input.pinyinOutline = pinyinOutline(job.pinyin, font);
                QStringList names = strokeNames.names(character, job.input.data.medians);
                const int strokes = int(job.input.data.strokes.size());
                if (!names.isEmpty() && names.size() != strokes) {
                    miscounted.append(character);
                    names.clear();
                }
                const int nameless = names.isEmpty() ? strokes : int(names.count(QString()));
                if (nameless > 0)
                    unnamed.append(character);
                unnamedStrokes += nameless;
                pinyins.append(job.pinyin);
                lettering.label(job.input, names, strokes);

                QCryptographicHash key(QCryptographicHash::Sha256);
                key.addData(common.result());
                key.addData(fileBytes(characterFile(parser.value(data), character)));
                key.addData(
                    (job.pinyin + QLatin1Char('|') + names.join(QLatin1Char(','))).toUtf8());
                if (!job.pinyin.isEmpty())
                    key.addData(
                        fileBytes(recordingFile(parser.value(voices), toneNumbered(job.pinyin))));
                job.key = key.result();
                job.current = made.isCurrent(character, job.key, moviePath(outDir, character));
            } catch (const MakerError &error) {
                job.error = error.message();
            }
            if (!job.current)
                work.append(job);
        }
    } catch (const MakerError &error) {
        printError(error.message());
        return 1;
    }

    const QString voiceDir = parser.value(voices);
    const QList<Outcome> outcomes = QtConcurrent::blockingMapped<QList<Outcome>>(
        work, [&](const Job &job) { return makeMovieFile(job, outDir, voiceDir); });
    int failed = 0;
    for (int i = 0; i < work.size(); ++i) {
        if (!outcomes[i].error.isEmpty()) {
            printError(outcomes[i].error);
            ++failed;
            continue;
        }
        made.remember(work[i].character, work[i].key, moviePath(outDir, work[i].character));
    }
    std::printf("Made %d of %d movies in %s (%.1f s); %d were up to date\n",
                int(work.size()) - failed, int(work.size()),
                qUtf8Printable(QDir::toNativeSeparators(outDir)), timer.elapsed() / 1000.0,
                int(characters.size() - work.size()));
    report(QStringLiteral("characters left out, not in the stroke data"), lacking);
    report(QStringLiteral("characters whose stroke-name count differs (only the count shown)"),
           miscounted);
    report(QStringLiteral("characters with strokes shown without a name"), unnamed);
    std::printf("Summary: %lld movies, %d strokes without a name, voices not recordings: %s\n",
                static_cast<long long>(characters.size()), unnamedStrokes,
                qUtf8Printable(voiceSummary(pinyins, voiceDir)));

    try {
        if (parser.isSet(cache))
            made.save();
        if (failed > 0)
            return 1;
        if (parser.isSet(writeList))
            writeHanziIni(parser.value(writeList), characters);
        if (parser.isSet(writeConfig))
            writeConfigIfMissing(parser.value(writeConfig), characters.first());
    } catch (const MessageError &error) {
        printError(error.message());
        return 1;
    }
    return 0;
}

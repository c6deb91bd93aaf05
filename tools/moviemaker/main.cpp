// zorvina-moviemaker: writes the character movies (.haz) the program plays,
// and the default application folder's character list.
#include "characterdata.h"
#include "listfile.h"
#include "makererror.h"
#include "moviebuilder.h"
#include "readings.h"
#include "swferror.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSaveFile>
#include <QThreadPool>
#include <QtConcurrent>
#include <cstdio>

namespace {

struct Job
{
    QString character;
    CharacterData data;
    QString pinyin;
    QPainterPath pinyinOutline;
    QString error; // set when the job cannot even start
};

void printError(const QString &message)
{
    std::fprintf(stderr, "zorvina-moviemaker: %s\n", qUtf8Printable(message));
}

// Returns an error message, or an empty string when the movie was written.
QString makeMovieFile(const Job &job, const QString &outDir)
{
    if (!job.error.isEmpty())
        return job.error;
    try {
        const MovieInput input = prepareMovie(job.data, job.pinyin, job.pinyinOutline);
        const QByteArray movie = buildMovie(input, planMovie(input));
        QSaveFile file(outDir + QLatin1Char('/') + job.character + QStringLiteral(".haz"));
        if (!file.open(QIODevice::WriteOnly) || file.write(movie) != movie.size() || !file.commit())
            return QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString());
        return QString();
    } catch (const MakerError &error) {
        return error.message();
    } catch (const SwfError &error) {
        return QStringLiteral("%1: %2").arg(job.character, error.message());
    }
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
    for (const QString &list : parser.values(QStringLiteral("list")))
        add(readCharacterList(list));
    for (const QString &argument : parser.positionalArguments())
        add(splitCharacters(argument));
    return characters;
}

} // namespace

int main(int argc, char *argv[])
{
    // The tool draws pinyin outlines with Qt's fonts but never shows a
    // window; it must also run in builds without a display.
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
    const QCommandLineOption out(
        QStringLiteral("out"),
        QStringLiteral("Folder for the movies (the program's hanzi folder)."),
        QStringLiteral("folder"));
    const QCommandLineOption list(
        QStringLiteral("list"),
        QStringLiteral("Also make every character listed in this file (hanzi.ini, or one a line)."),
        QStringLiteral("file"));
    const QCommandLineOption writeList(
        QStringLiteral("write-list"),
        QStringLiteral("When all movies are made, write the characters to this hanzi.ini."),
        QStringLiteral("file"));
    const QCommandLineOption writeConfig(
        QStringLiteral("write-config"),
        QStringLiteral("When all movies are made, write the first character to this config.ini, "
                       "unless it exists already."),
        QStringLiteral("file"));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("Folder of the stroke data (hanzi-writer-data)."),
                                  QStringLiteral("folder"), QStringLiteral(ZORVINA_HANZI_DATA));
    const QCommandLineOption readings(
        QStringLiteral("readings"),
        QStringLiteral("Folder of the readings data (@pinyin-pro/data/json)."),
        QStringLiteral("folder"), QStringLiteral(ZORVINA_READINGS_DATA));
    const QCommandLineOption jobs(QStringLiteral("jobs"),
                                  QStringLiteral("Movies made at the same time (default: cores)."),
                                  QStringLiteral("count"));
    parser.addOptions({out, list, writeList, writeConfig, data, readings, jobs});
    parser.process(app);

    if (!parser.isSet(out)) {
        printError(QStringLiteral("say where the movies go with --out <folder> (see --help)"));
        return 2;
    }
    QStringList characters;
    try {
        characters = collectCharacters(parser);
    } catch (const MakerError &error) {
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
    QList<Job> work;
    try {
        Readings known(parser.value(readings), QStringLiteral(ZORVINA_READINGS_SUPPLEMENT));
        const QFont font = pinyinFont(QStringLiteral(ZORVINA_PINYIN_FONT));
        for (const QString &character : characters) {
            Job job{character, CharacterData(), QString(), QPainterPath(), QString()};
            try {
                job.data = loadCharacter(parser.value(data), character);
                job.pinyin = known.reading(character);
                if (job.pinyin.isEmpty())
                    printError(QStringLiteral("warning: no reading (pinyin) is known for %1; its "
                                              "movie only writes it, without pinyin or sound")
                                   .arg(character));
                else
                    job.pinyinOutline = pinyinOutline(job.pinyin, font);
            } catch (const MakerError &error) {
                job.error = error.message();
            }
            work.append(job);
        }
    } catch (const MakerError &error) {
        printError(error.message());
        return 1;
    }

    const QStringList errors = QtConcurrent::blockingMapped<QStringList>(
        work, [&](const Job &job) { return makeMovieFile(job, outDir); });
    int failed = 0;
    for (const QString &error : errors) {
        if (!error.isEmpty()) {
            printError(error);
            ++failed;
        }
    }
    std::printf("Made %d of %d movies in %s (%.1f s)\n", int(work.size()) - failed,
                int(work.size()), qUtf8Printable(QDir::toNativeSeparators(outDir)),
                timer.elapsed() / 1000.0);
    if (failed > 0)
        return 1;

    try {
        if (parser.isSet(writeList))
            writeHanziIni(parser.value(writeList), characters);
        if (parser.isSet(writeConfig))
            writeConfigIfMissing(parser.value(writeConfig), characters.first());
    } catch (const MakerError &error) {
        printError(error.message());
        return 1;
    }
    return 0;
}

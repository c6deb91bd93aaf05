#include "avm1.h"
#include "soundsink.h"
#include "stage.h"

#include <QSet>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <cstring>

using namespace swf;

namespace {

QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void appendU16(QByteArray &bytes, int value)
{
    bytes.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}

QByteArray record(int code, const QByteArray &payload = {})
{
    QByteArray bytes(1, char(code));
    if (code >= 0x80) {
        appendU16(bytes, int(payload.size()));
        bytes += payload;
    }
    return bytes;
}

QByteArray pushRecord(char type, const QByteArray &value)
{
    return record(0x96, QByteArray(1, type) + value);
}

// A frame script in words, one action each:
//   'text pushes a string; 2 or -1.5 a number; true false null undefined;
//   #N pushes entry N of the constant pool; pool:a,b,c sets the pool;
//   goto:N, label:x, goto2, goto2play, goto2bias:N go to frames;
//   jump:L and if:L branch to the word @L; other words name an action.
QByteArray assemble(const QString &script)
{
    static const QHash<QString, int> plain = {
        {QStringLiteral("end"), 0x00},        {QStringLiteral("next"), 0x04},
        {QStringLiteral("prev"), 0x05},       {QStringLiteral("play"), 0x06},
        {QStringLiteral("stop"), 0x07},       {QStringLiteral("quality"), 0x08},
        {QStringLiteral("stopsounds"), 0x09}, {QStringLiteral("add"), 0x0A},
        {QStringLiteral("sub"), 0x0B},        {QStringLiteral("mul"), 0x0C},
        {QStringLiteral("div"), 0x0D},        {QStringLiteral("eq"), 0x0E},
        {QStringLiteral("lt"), 0x0F},         {QStringLiteral("and"), 0x10},
        {QStringLiteral("or"), 0x11},         {QStringLiteral("not"), 0x12},
        {QStringLiteral("pop"), 0x17},        {QStringLiteral("get"), 0x1C},
        {QStringLiteral("set"), 0x1D},        {QStringLiteral("trace"), 0x26},
        {QStringLiteral("add2"), 0x47},       {QStringLiteral("lt2"), 0x48},
        {QStringLiteral("eq2"), 0x49},        {QStringLiteral("dup"), 0x4C},
        {QStringLiteral("stricteq"), 0x66},   {QStringLiteral("gt"), 0x67},
    };
    static const QHash<QString, QByteArray> fixed = {
        {QStringLiteral("geturl"), record(0x83, QByteArray(2, '\0'))},
        {QStringLiteral("waitframe"), record(0x8A, QByteArray(3, '\0'))},
        {QStringLiteral("settarget"), record(0x8B, QByteArray(1, '\0'))},
        {QStringLiteral("waitframe2"), record(0x8D, QByteArray(1, '\0'))},
        {QStringLiteral("geturl2"), record(0x9A, QByteArray(1, '\0'))},
        {QStringLiteral("goto2"), record(0x9F, QByteArray(1, '\0'))},
        {QStringLiteral("goto2play"), record(0x9F, QByteArray(1, '\1'))},
    };
    struct Piece
    {
        QByteArray bytes;
        QString target; // for branches
    };
    QList<Piece> pieces;
    QHash<QString, int> labels; // label -> index of the piece after it
    for (const QString &word : words(script)) {
        const QString arg = word.section(QLatin1Char(':'), 1);
        bool isNumber = false;
        const double number = word.toDouble(&isNumber);
        if (word.startsWith(QLatin1Char('@'))) {
            labels.insert(word.mid(1), int(pieces.size()));
        } else if (word.startsWith(QLatin1Char('\''))) {
            pieces.append({pushRecord(0, word.mid(1).toUtf8() + '\0'), {}});
        } else if (isNumber) {
            quint64 bits;
            std::memcpy(&bits, &number, sizeof bits);
            QByteArray value(8, '\0');
            qToLittleEndian(quint32(bits >> 32), value.data());
            qToLittleEndian(quint32(bits), value.data() + 4);
            pieces.append({pushRecord(6, value), {}});
        } else if (word == QLatin1String("true") || word == QLatin1String("false")) {
            pieces.append({pushRecord(5, QByteArray(1, word == QLatin1String("true"))), {}});
        } else if (word == QLatin1String("null") || word == QLatin1String("undefined")) {
            pieces.append({pushRecord(word == QLatin1String("null") ? 2 : 3, {}), {}});
        } else if (word.startsWith(QLatin1Char('#'))) {
            pieces.append({pushRecord(8, QByteArray(1, char(word.mid(1).toInt()))), {}});
        } else if (word.startsWith(QLatin1String("pool:"))) {
            const QStringList entries = arg.split(QLatin1Char(','));
            QByteArray payload;
            appendU16(payload, int(entries.size()));
            for (const QString &entry : entries)
                payload += entry.toUtf8() + '\0';
            pieces.append({record(0x88, payload), {}});
        } else if (word.startsWith(QLatin1String("goto:"))) {
            QByteArray payload;
            appendU16(payload, arg.toInt());
            pieces.append({record(0x81, payload), {}});
        } else if (word.startsWith(QLatin1String("goto2bias:"))) {
            QByteArray payload(1, '\2');
            appendU16(payload, arg.toInt());
            pieces.append({record(0x9F, payload), {}});
        } else if (word.startsWith(QLatin1String("label:"))) {
            pieces.append({record(0x8C, arg.toUtf8() + '\0'), {}});
        } else if (word.startsWith(QLatin1String("jump:")) ||
                   word.startsWith(QLatin1String("if:"))) {
            pieces.append(
                {record(word.startsWith(QLatin1Char('j')) ? 0x99 : 0x9D, QByteArray(2, '\0')),
                 arg});
        } else if (fixed.contains(word)) {
            pieces.append({fixed.value(word), {}});
        } else {
            if (!plain.contains(word))
                qFatal("unknown action word %s", qPrintable(word));
            pieces.append({record(plain.value(word)), {}});
        }
    }
    QList<int> starts;
    int at = 0;
    for (const Piece &piece : pieces) {
        starts.append(at);
        at += int(piece.bytes.size());
    }
    starts.append(at);
    QByteArray code;
    for (int i = 0; i < pieces.size(); ++i) {
        QByteArray bytes = pieces[i].bytes;
        if (!pieces[i].target.isEmpty()) {
            const int offset = starts[labels.value(pieces[i].target)] - starts[i + 1];
            qToLittleEndian(qint16(offset), bytes.data() + 3);
        }
        code += bytes;
    }
    return code;
}

QString show(const avm1::Value &value)
{
    if (value.type == avm1::Value::Type::String)
        return QLatin1Char('\'') + value.string + QLatin1Char('\'');
    return avm1::toString(value, 8);
}

// A timeline of ten frames, frame 2 labelled "intro", that writes down what
// a script asks of it.
class ScriptHost : public avm1::Host
{
public:
    bool isRoot() const override { return true; }
    int currentFrame() const override { return m_frame; }
    int frameCount() const override { return 10; }
    int labelFrame(const QString &label) const override
    {
        return label.toLower() == QLatin1String("intro") ? 2 : -1;
    }
    void gotoFrame(int frame, bool play) override
    {
        m_frame = frame;
        log.append(
            QStringLiteral("goto%1%2").arg(frame).arg(play ? QStringLiteral(">") : QString()));
    }
    void setPlaying(bool playing) override
    {
        log.append(playing ? QStringLiteral("play") : QStringLiteral("stop"));
    }
    void stopSounds() override { log.append(QStringLiteral("stopsounds")); }
    avm1::Value variable(const QString &name) const override { return variables.value(name); }
    void setVariable(const QString &name, const avm1::Value &value) override
    {
        variables.insert(name, value);
        log.append(name + QLatin1Char('=') + show(value));
    }

    QStringList log;
    QHash<QString, avm1::Value> variables;

private:
    int m_frame = 0;
};

// Writes down the stage's calls, one word each; streams are told apart by
// the order their owners first appear in (s0, s1...).
class RecordingSink : public SoundSink
{
public:
    void startSound(quint16 soundId, const std::shared_ptr<const Sound> &sound,
                    const SoundStart &start) override
    {
        QVERIFY(sound);
        log.append((start.stop ? QStringLiteral("stop") : QStringLiteral("start")) +
                   QString::number(soundId) + (start.noMultiple ? QStringLiteral("n") : QString()));
    }
    void stopAllSounds() override { log.append(QStringLiteral("stopall")); }
    void streamBlock(const void *owner, const StreamHead &, const QByteArray &block) override
    {
        log.append(QStringLiteral("block%1:%2").arg(name(owner), QString::fromLatin1(block)));
    }
    void streamStopped(const void *owner) override
    {
        log.append(QStringLiteral("end") + name(owner));
    }
    double streamPosition(const void *owner) const override
    {
        return owner == m_owners.value(0) ? heard : -1;
    }

    QStringList log;
    double heard = -1; // what the first stream has played

private:
    QString name(const void *owner)
    {
        if (!m_owners.contains(owner))
            m_owners.append(owner);
        return QLatin1Char('s') + QString::number(m_owners.indexOf(owner));
    }
    QList<const void *> m_owners;
};

// A timeline in words: frames separated by "|", steps by spaces.
//   +D:C places character C at depth D; =D:C moves depth D to character C;
//   >D:X moves depth D to x = X twips; -D removes depth D;
//   #name labels the frame; !N starts sound N (!Nx stops it, !Nn not twice);
//   ~ holds a block of the timeline's sound stream.
Timeline timeline(const QString &spec, QSet<int> &characters)
{
    Timeline result;
    const QStringList frames = spec.split(QLatin1Char('|'));
    for (int f = 0; f < frames.size(); ++f) {
        Frame frame;
        for (const QString &step : words(frames[f])) {
            const QChar kind = step.front();
            const int depth = step.mid(1).section(QLatin1Char(':'), 0, 0).toInt();
            const int value = step.section(QLatin1Char(':'), 1).toInt();
            DisplayCommand command;
            command.depth = depth;
            if (kind == QLatin1Char('+') || kind == QLatin1Char('=')) {
                command.move = kind == QLatin1Char('=');
                command.characterId = quint16(value);
                characters.insert(value);
            } else if (kind == QLatin1Char('>')) {
                command.move = true;
                command.matrix = QTransform::fromTranslate(value, 0);
            } else if (kind == QLatin1Char('-')) {
                command.kind = DisplayCommand::Kind::Remove;
            } else if (kind == QLatin1Char('#')) {
                result.labels.insert(step.mid(1).toLower(), f);
                continue;
            } else if (kind == QLatin1Char('!')) {
                SoundStart start;
                start.soundId = quint16(QStringView(step).mid(1, 1).toInt());
                start.stop = step.endsWith(QLatin1Char('x'));
                start.noMultiple = step.endsWith(QLatin1Char('n'));
                frame.sounds.append(start);
                continue;
            } else if (kind == QLatin1Char('~')) {
                result.stream = StreamHead();
                frame.streamBlock = QByteArray::number(f);
                continue;
            }
            frame.commands.append(command);
        }
        result.frames.append(frame);
    }
    return result;
}

// Sprites as "5: <timeline> ; 6: <timeline>"; scripts as "F: <script>" for a
// frame of the root or "S/F: <script>" for one of sprite S, separated by
// ";". Characters from 900 up stay unknown; sounds 1 to 4 exist.
std::shared_ptr<Movie> makeMovie(const QString &root, const QString &sprites = {},
                                 const QString &scripts = {}, int version = 8)
{
    auto movie = std::make_shared<Movie>();
    movie->version = version;
    movie->frameRate = 12;
    QSet<int> characters;
    movie->root = timeline(root, characters);
    QHash<int, Sprite> spriteList;
    for (const QString &entry : sprites.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int id = entry.section(QLatin1Char(':'), 0, 0).trimmed().toInt();
        spriteList[id].timeline = timeline(entry.section(QLatin1Char(':'), 1), characters);
    }
    for (const QString &entry : scripts.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString where = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        const QByteArray code = assemble(entry.section(QLatin1Char(':'), 1));
        Timeline &owner = where.contains(QLatin1Char('/'))
                              ? spriteList[where.section(QLatin1Char('/'), 0, 0).toInt()].timeline
                              : movie->root;
        owner.frames[where.section(QLatin1Char('/'), -1).toInt()].actions.append(code);
    }
    for (int id : std::as_const(characters)) {
        if (id < 900)
            movie->kinds.insert(quint16(id), CharacterKind::Shape);
    }
    for (auto it = spriteList.cbegin(); it != spriteList.cend(); ++it) {
        movie->kinds.insert(quint16(it.key()), CharacterKind::Sprite);
        movie->sprites.insert(quint16(it.key()), std::make_shared<Sprite>(it.value()));
    }
    for (quint16 id = 1; id <= 4; ++id)
        movie->sounds.insert(id, std::make_shared<Sound>());
    return movie;
}

// "D:C" per object, ">X" when moved, "@F[...]" for a sprite's frame and
// children.
QString dump(const DisplayObject &object)
{
    QStringList parts;
    for (const DisplayObject &child : object.children) {
        QString part = QStringLiteral("%1:%2").arg(child.depth).arg(child.characterId);
        if (child.matrix.dx() != 0)
            part += QLatin1Char('>') + QString::number(child.matrix.dx());
        if (child.timeline) {
            part += QLatin1Char('@') + QString::number(child.currentFrame);
            if (!child.children.empty())
                part += QLatin1Char('[') + dump(child) + QLatin1Char(']');
        }
        parts.append(part);
    }
    return parts.join(QLatin1Char(' '));
}

// The root's frame, '>' playing or '=' stopped, and the display list.
QString state(const Stage &stage)
{
    const QString text = QString::number(stage.currentFrame()) +
                         (stage.isPlaying() ? QStringLiteral("> ") : QStringLiteral("= ")) +
                         dump(stage.root());
    return text.trimmed();
}

// Steps: t advance, gN / pN go to frame N stopped / playing, r rewind,
// f step forward, b step back, s stop, P play, L looping off.
void perform(Stage &stage, const QString &step)
{
    const int frame = step.mid(1).toInt();
    switch (step.front().toLatin1()) {
    case 't':
        stage.advance();
        break;
    case 'g':
    case 'p':
        stage.gotoFrame(frame, step.front() == QLatin1Char('p'));
        break;
    case 'r':
        stage.rewind();
        break;
    case 'f':
        stage.stepForward();
        break;
    case 'b':
        stage.stepBack();
        break;
    case 's':
        stage.stop();
        break;
    case 'P':
        stage.play();
        break;
    case 'L':
        stage.setLooping(false);
        break;
    default:
        qFatal("unknown step %s", qPrintable(step));
    }
}

int objectCount(const DisplayObject &object)
{
    int count = 0;
    for (const DisplayObject &child : object.children)
        count += 1 + objectCount(child);
    return count;
}

int nesting(const DisplayObject &object)
{
    int deepest = 0;
    for (const DisplayObject &child : object.children)
        deepest = std::max(deepest, 1 + nesting(child));
    return deepest;
}

} // namespace

class TestStage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scripts_data();
    void scripts();
    void damagedScripts_data();
    void damagedScripts();
    void scriptBounds();
    void timelines_data();
    void timelines();
    void sounds_data();
    void sounds();
    void framesBehind_data();
    void framesBehind();
    void objectBound();
    void nestingBound();
    void loopsForever();
};

void TestStage::scripts_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("log");
    const auto row = [](const char *name, int version, const char *script, const char *log) {
        QTest::newRow(name) << version << QString::fromUtf8(script) << QString::fromUtf8(log);
    };
    row("arithmetic", 8, "'a 3 4 add2 set 'b 10 4 sub set 'c 1 4 div set 'd 3 2 mul set",
        "a=7 b=6 c=0.25 d=6");
    row("division by zero", 8, "'r 1 0 div set", "r=Infinity");
    row("concatenation", 8, "'a 'ab 'cd add2 set 'b 'n 1 add2 set 'c 1 'n add2 set",
        "a='abcd' b='n1' c='1n'");
    row("comparisons", 8,
        "'a 1 2 lt2 set 'b 1 2 gt set 'c 'b 'a lt2 set 'd 'x 1 lt2 set 'e 9 10 lt2 set",
        "a=true b=false c=false d=undefined e=true");
    row("equality", 8,
        "'a 1 '1 eq2 set 'b 1 '1 stricteq set 'c null undefined eq2 set 'd 0 null eq2 set 'e true "
        "1 eq2 set",
        "a=true b=false c=true d=false e=true");
    row("logic", 8, "'a 0 not set 'b 'x not set 'c 1 0 and set 'd 1 0 or set",
        "a=true b=false c=false d=true");
    row("strings are true from SWF 7, numbers before", 6, "'a 'x not set 'b '0 not set",
        "a=true b=true");
    row("SWF 4 comparisons give numbers", 4, "'r 1 2 lt set 's 2 2 eq set", "r=1 s=1");
    row("undefined is 0 before SWF 7, NaN after", 6, "'r 'nope get 1 add set", "r=1");
    row("undefined is NaN from SWF 7", 7, "'r 'nope get 1 add set", "r=NaN");
    row("variables", 8, "'v 5 set 'r 'v get 1 add2 set 's 'nope get set", "v=5 r=6 s=undefined");
    row("names ignore case before SWF 7", 6, "'Abc 1 set 'r 'ABC get set", "abc=1 r=1");
    row("names keep case from SWF 7", 8, "'Abc 1 set 'r 'ABC get set", "Abc=1 r=undefined");
    row("paths to this timeline", 8,
        "'_root.v 1 set '/:w 2 set 'this.x 3 set 'other.y 4 set 'r '_root.v get set 's 'other.v "
        "get set",
        "v=1 w=2 x=3 r=1 s=undefined");
    row("constant pool", 8, "pool:r,7 #0 #1 set 's #9 set", "r='7' s=undefined");
    row("stack", 8, "'r dup set 'p 1 2 pop set pop pop 'q set", "r='r' p=1 undefined='q'");
    row("counting loop", 8,
        "'i 0 set @top 'i get 3 lt2 not if:done 'i 'i get 1 add2 set jump:top @done",
        "i=0 i=1 i=2 i=3");
    row("if (!played) pattern", 8,
        "'played get if:again 'played true set 1 goto2play jump:end @again stop @end 'played get "
        "if:x stop @x",
        "played=true goto0>");
    row("timeline control", 8, "stop play next prev goto:4 label:intro label:nowhere stopsounds",
        "stop play goto1 goto0 goto4 goto2 stopsounds");
    row("goto by number, label and text", 8,
        "3 goto2 'INTRO goto2play '5 goto2 'nowhere goto2 2 goto2bias:3",
        "goto2 goto2> goto4 goto4");
    row("goto past either end", 8, "99 goto2 -5 goto2 'x 0 div goto2", "goto9 goto0");
    row("actions that do nothing here", 8,
        "quality geturl settarget waitframe 1 waitframe2 1 2 geturl2 'x trace 'r 1 set", "r=1");
}

void TestStage::scripts()
{
    QFETCH(int, version);
    QFETCH(QString, script);
    QFETCH(QString, log);
    ScriptHost host;
    avm1::Budget budget;
    QVERIFY(avm1::Machine().run(assemble(script), host, version, budget));
    QCOMPARE(host.log.join(QLatin1Char(' ')), log);
}

void TestStage::damagedScripts_data()
{
    // Each ends with a stop that a sound reading of the bytes before it
    // would reach.
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("log");
    QTest::newRow("sound") << QByteArray::fromHex("0607") << QStringLiteral("play stop");
    QTest::newRow("end") << QByteArray::fromHex("000607") << QString();
    QTest::newRow("string without its zero") << QByteArray::fromHex("96030000616207") << QString();
    QTest::newRow("record past the end") << QByteArray::fromHex("96ff0000") << QString();
    QTest::newRow("cut length") << QByteArray::fromHex("0696") << QStringLiteral("play");
    QTest::newRow("jump out of the block") << QByteArray::fromHex("990200001007") << QString();
    QTest::newRow("jump before the block") << QByteArray::fromHex("99020000f007") << QString();
    QTest::newRow("short goto") << QByteArray::fromHex("8101000007") << QString();
    QTest::newRow("unknown push type") << QByteArray::fromHex("9601000e07") << QString();
    QTest::newRow("action no timeline uses") << QByteArray::fromHex("3a07") << QString();
}

void TestStage::damagedScripts()
{
    QFETCH(QByteArray, code);
    QFETCH(QString, log);
    ScriptHost host;
    avm1::Budget budget;
    avm1::Machine().run(code, host, 8, budget);
    QCOMPARE(host.log.join(QLatin1Char(' ')), log);
}

void TestStage::scriptBounds()
{
    avm1::Machine machine;
    {
        ScriptHost host;
        avm1::Budget budget;
        QVERIFY(!machine.run(assemble(QStringLiteral("@top jump:top")), host, 8, budget));
        QVERIFY(budget.exhausted());
    }
    for (int pushes : {avm1::maxStack - 2, avm1::maxStack + 10}) {
        ScriptHost host;
        avm1::Budget budget;
        const QString script = QStringLiteral("1 ").repeated(pushes) + QStringLiteral("'r 1 set");
        machine.run(assemble(script), host, 8, budget);
        QCOMPARE(host.variables.contains(QStringLiteral("r")), pushes < avm1::maxStack);
    }
    {
        // Doubling a string: it stops growing at the bound, the script at
        // the budget.
        ScriptHost host;
        avm1::Budget budget;
        QVERIFY(!machine.run(
            assemble(QStringLiteral("'s 'x set @top 's 's get 's get add2 set jump:top")), host, 8,
            budget));
        QCOMPARE(int(host.variables.value(QStringLiteral("s")).string.size()),
                 avm1::maxStringChars);
    }
}

void TestStage::timelines_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("sprites");
    QTest::addColumn<QString>("scripts");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("states"); // at the start, then after each step
    const auto row = [](const char *name, const char *root, const char *sprites,
                        const char *scripts, const char *steps, const char *states) {
        QTest::newRow(name) << QString::fromUtf8(root) << QString::fromUtf8(sprites)
                            << QString::fromUtf8(scripts) << QString::fromUtf8(steps)
                            << QString::fromUtf8(states);
    };
    // Display commands, frame by frame.
    row("place, move, replace, remove, loop", "+1:10 +2:11 | >1:5 | =2:12 | -1 |", "", "",
        "t t t t t",
        "0> 1:10 2:11 | 1> 1:10>5 2:11 | 2> 1:10>5 2:12 | 3> 2:12 | 4> 2:12 | 0> 1:10 2:11");
    row("place on an occupied depth is ignored", "+1:10 | +1:11 >1:3 |", "", "", "t t t",
        "0> 1:10 | 1> 1:10>3 | 2> 1:10>3 | 0> 1:10");
    row("move onto an empty depth places", "| =1:10 >2:4", "", "", "t", "0> | 1> 1:10");
    row("unknown characters are ignored", "+1:900 +2:10 | =2:901", "", "", "t",
        "0> 2:10 | 1> 2:10");
    row("not looping stops on the last frame", "+1:10 | +2:11", "", "", "L t t t P t",
        "0> 1:10 | 0> 1:10 | 1> 1:10 2:11 | 1= 1:10 2:11 | 1= 1:10 2:11 | 1> 1:10 2:11 | 1= 1:10 "
        "2:11");
    // Sprites.
    row("a sprite plays from its first frame and loops", "+1:5 | |", "5: +1:10 | +2:11 | -1", "",
        "t t t t",
        "0> 1:5@0[1:10] | 1> 1:5@1[1:10 2:11] | 2> 1:5@2[2:11] | 0> 1:5@0[1:10] | 1> 1:5@1[1:10 "
        "2:11]");
    row("a sprite placed anew restarts", "+1:5 | | -1 +1:5 |", "5: +1:10 | | ", "", "t t t",
        "0> 1:5@0[1:10] | 1> 1:5@1[1:10] | 2> 1:5@0[1:10] | 3> 1:5@1[1:10]");
    row("a replaced sprite's children go", "+1:5 | =1:10", "5: +1:11 | +2:12", "", "t",
        "0> 1:5@0[1:11] | 1> 1:10");
    row("a sprite placed by a frame moves on from the next tick", "| +1:5 |", "5: +1:10 | +2:11",
        "", "t t", "0> | 1> 1:5@0[1:10] | 2> 1:5@1[1:10 2:11]");
    row("nested sprites", "+1:6", "6: +1:5 | ; 5: +1:10 | +2:11 | ", "", "t t",
        "0> 1:6@0[1:5@0[1:10]] | 0> 1:6@1[1:5@1[1:10 2:11]] | 0> 1:6@0[1:5@2[1:10 2:11]]");
    row("a stopped root still plays its sprites", "+1:5 |", "5: +1:10 | +2:11", "0: stop", "t",
        "0= 1:5@0[1:10] | 0= 1:5@1[1:10 2:11]");
    // Gotos from the controls.
    row("forward goto runs the frames between", "+1:10 | >1:5 +2:11 | -2 | +3:12", "", "",
        "g3 g1 g0 p2", "0> 1:10 | 3= 1:10>5 3:12 | 1= 1:10>5 2:11 | 0= 1:10 | 2> 1:10>5");
    row("backward goto keeps a sprite in place", "+1:5 | | ", "5: +1:10 | +2:11 | ", "", "t t g0",
        "0> 1:5@0[1:10] | 1> 1:5@1[1:10 2:11] | 2> 1:5@2[1:10 2:11] | 0= 1:5@2[1:10 2:11]");
    row("forward goto past a new placement restarts", "+1:5 | | -1 | +1:5", "5: +1:10 | ", "",
        "t g3", "0> 1:5@0[1:10] | 1> 1:5@1[1:10] | 3= 1:5@0[1:10]");
    row("goto past the end", "| | +1:10", "", "", "g99 g-4", "0> | 2= 1:10 | 0=");
    row("steps stay at the ends", "+1:10 | +2:11", "", "", "b f f b b",
        "0> 1:10 | 0= 1:10 | 1= 1:10 2:11 | 1= 1:10 2:11 | 0= 1:10 | 0= 1:10");
    row("rewind", "+1:10 | +2:11 |", "", "", "t t r",
        "0> 1:10 | 1> 1:10 2:11 | 2> 1:10 2:11 | 0= 1:10");
    // Scripts driving timelines.
    row("stop in the first frame holds the movie", "+1:10 | +2:11", "", "0: stop", "t t P t",
        "0= 1:10 | 0= 1:10 | 0= 1:10 | 0> 1:10 | 1> 1:10 2:11");
    row("a script stops its own sprite", "+1:5 |", "5: +1:10 | +2:11 | +3:12", "5/1: stop", "t t t",
        "0> 1:5@0[1:10] | 1> 1:5@1[1:10 2:11] | 0> 1:5@1[1:10 2:11] | 1> 1:5@1[1:10 2:11]");
    row("gotoAndPlay repeats a part", "| | | #end", "", "3: 2 goto2play", "t t t t t",
        "0> | 1> | 2> | 1> | 2> | 1>");
    row("gotoAndStop to a label", "| #intro +1:10 | ", "", "2: label:INTRO", "t t t",
        "0> | 1> 1:10 | 1= 1:10 | 1= 1:10");
    row("the goto's frame runs its script", "| | |", "", "1: stop ; 3: 2 goto2play", "t P t t",
        "0> | 1= | 1> | 2> | 1=");
    row("nextFrame and prevFrame at the ends", "| |", "", "0: prev ; 2: next", "P t t",
        "0= | 0> | 1> | 2=");
    row("played once, then stops", "| | ", "",
        "2: 'played get if:again 'played true set 1 goto2play jump:end @again stop @end",
        "t t t t t", "0> | 1> | 0> | 1> | 2= | 2=");
    row("endless loop: the movie goes on", "| | ", "", "0: @top jump:top ; 1: stop", "t t",
        "0> | 1= | 1=");
    row("a sprite's variables are its own", "+1:5 +2:5 |", "5: | | ",
        "5/0: 'n get if:more 'n 1 set jump:counted @more 'n 'n get 1 add2 set @counted ;"
        "5/1: 'n get 2 lt2 if:on stop @on",
        "t t t t t",
        "0> 1:5@0 2:5@0 | 1> 1:5@1 2:5@1 | 0> 1:5@2 2:5@2 | 1> 1:5@0 2:5@0 | 0> 1:5@1 2:5@1 | "
        "1> 1:5@1 2:5@1");
}

void TestStage::timelines()
{
    QFETCH(QString, root);
    QFETCH(QString, sprites);
    QFETCH(QString, scripts);
    QFETCH(QString, steps);
    QFETCH(QString, states);
    Stage stage(makeMovie(root, sprites, scripts));
    QStringList seen{state(stage)};
    for (const QString &step : words(steps)) {
        perform(stage, step);
        seen.append(state(stage));
    }
    QCOMPARE(seen.join(QStringLiteral(" | ")), states);
}

void TestStage::sounds_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("sprites");
    QTest::addColumn<QString>("scripts");
    QTest::addColumn<QString>("steps");
    // At the start, in each step and when the stage goes; "-" for none.
    QTest::addColumn<QString>("calls");
    const auto row = [](const char *name, const char *root, const char *sprites,
                        const char *scripts, const char *steps, const char *calls) {
        QTest::newRow(name) << QString::fromUtf8(root) << QString::fromUtf8(sprites)
                            << QString::fromUtf8(scripts) << QString::fromUtf8(steps)
                            << QString::fromUtf8(calls);
    };
    row("frames start their sounds", "!1 | !2x !3n | ", "", "", "t t t",
        "start1 | stop2 start3n | - | start1 | -");
    row("one frame plays once", "!1", "", "", "t t", "start1 | - | - | -");
    row("a missing sound is skipped", "!7 !1", "", "", "", "start1 | -");
    row("gotos skip the sounds between", "!1 | !2 | !3", "", "", "g2 g0 g0",
        "start1 | start3 | start1 | - | -");
    row("a sprite's sounds", "+1:5 |", "5: !4 | ", "", "t t", "start4 | - | start4 | -");
    row("stopSounds and rewind", "| !1 |", "", "2: stopsounds", "t t r",
        "- | start1 | stopall | stopall | -");
    row("stream blocks while playing", "~ | ~ | ~", "", "", "t t t",
        "blocks0:0 | blocks0:1 | blocks0:2 | blocks0:0 | ends0");
    row("a frame without a block ends the stream", "~ | | ~", "", "", "t t",
        "blocks0:0 | ends0 | blocks0:2 | ends0");
    row("a goto ends the stream", "~ | ~ | ~", "", "", "g2 t P t",
        "blocks0:0 | ends0 | - | - | blocks0:0 | ends0");
    row("stop ends the stream", "~ | ~ | ~", "", "", "t s P t",
        "blocks0:0 | blocks0:1 | ends0 | - | blocks0:2 | ends0");
    row("stopSounds ends the stream", "~ | ~ | ~", "", "1: stopsounds", "t t",
        "blocks0:0 | blocks0:1 ends0 stopall | blocks0:2 | ends0");
    row("a removed sprite's stream ends", "+1:5 | -1", "5: ~ | ~", "", "t",
        "blocks0:0 | blocks0:1 ends0 | -");
    row("two sprites, two streams", "+1:5 +2:5", "5: ~ | ~", "", "t",
        "blocks0:0 blocks1:0 | blocks0:1 blocks1:1 | ends0 ends1");
}

void TestStage::sounds()
{
    QFETCH(QString, root);
    QFETCH(QString, sprites);
    QFETCH(QString, scripts);
    QFETCH(QString, steps);
    QFETCH(QString, calls);
    RecordingSink sink;
    QStringList seen;
    const auto take = [&] {
        seen.append(sink.log.isEmpty() ? QStringLiteral("-") : sink.log.join(QLatin1Char(' ')));
        sink.log.clear();
    };
    {
        Stage stage(makeMovie(root, sprites, scripts), &sink);
        take();
        for (const QString &step : words(steps)) {
            perform(stage, step);
            take();
        }
    }
    take();
    QCOMPARE(seen.join(QStringLiteral(" | ")), calls);
}

void TestStage::framesBehind_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<double>("heard");
    QTest::addColumn<int>("behind");
    const QString stream = QStringLiteral("~ | ~ | ~ | ~ | ~ | ~");
    QTest::newRow("in step") << stream << 0 << 0.5 << 0;
    QTest::newRow("sound ahead") << stream << 0 << 3.5 << 3;
    QTest::newRow("sound ahead after ticks") << stream << 2 << 3.5 << 1;
    QTest::newRow("pictures ahead") << stream << 4 << 1.0 << 0;
    QTest::newRow("no device") << stream << 0 << -1.0 << 0;
    QTest::newRow("nonsense position") << stream << 0 << std::nan("") << 0;
    QTest::newRow("at most a second") << stream << 0 << 1e300 << 12;
    QTest::newRow("no stream") << QStringLiteral("| | | |") << 0 << 3.5 << 0;
}

void TestStage::framesBehind()
{
    QFETCH(QString, root);
    QFETCH(int, ticks);
    QFETCH(double, heard);
    QFETCH(int, behind);
    RecordingSink sink;
    Stage stage(makeMovie(root), &sink);
    for (int i = 0; i < ticks; ++i)
        stage.advance();
    sink.heard = heard;
    QCOMPARE(stage.framesBehind(), behind);
    stage.stop();
    QCOMPARE(stage.framesBehind(), 0);
}

void TestStage::objectBound()
{
    // 300 sprites of 1000 shapes each would be 300,300 objects.
    QString shapes;
    for (int depth = 1; depth <= 1000; ++depth)
        shapes += QStringLiteral("+%1:10 ").arg(depth);
    QString sprites;
    for (int depth = 1; depth <= 300; ++depth)
        sprites += QStringLiteral("+%1:5 ").arg(depth);
    Stage stage(makeMovie(sprites + QStringLiteral("| | -300"), QStringLiteral("5: ") + shapes));
    QVERIFY(objectCount(stage.root()) <= Limits::displayObjects);
    QVERIFY(objectCount(stage.root()) > Limits::displayObjects - 1001);
    stage.advance();
    stage.advance();
    QCOMPARE(stage.currentFrame(), 2);
    QVERIFY(objectCount(stage.root()) <= Limits::displayObjects);
}

void TestStage::nestingBound()
{
    // A sprite that holds itself.
    Stage stage(makeMovie(QStringLiteral("+1:5"), QStringLiteral("5: +1:5 +2:10 | ")));
    QCOMPARE(nesting(stage.root()), Limits::spriteNesting + 1);
    stage.advance();
    QCOMPARE(nesting(stage.root()), Limits::spriteNesting + 1);
}

void TestStage::loopsForever()
{
    // Thousands of loops leave the same display list as the first one: no
    // object is left behind or made twice.
    const QString root = QStringLiteral("+1:5 +2:10 | =2:11 +3:6 | -1 >3:7 | -3 +1:5");
    const QString sprites = QStringLiteral("5: +1:10 | +2:6 | -2 ; 6: +1:11 | =1:12");
    Stage stage(makeMovie(root, sprites, QStringLiteral("6/1: 'n 'n get 1 add2 set")));
    for (int i = 0; i < 12; ++i)
        stage.advance(); // the first loop starts unlike the others
    QStringList firstLoop;
    for (int i = 0; i < 12; ++i) {
        firstLoop.append(state(stage));
        stage.advance();
    }
    for (int i = 0; i < 12 * 500; ++i)
        stage.advance();
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(state(stage), firstLoop[i]);
        stage.advance();
    }
}

QTEST_GUILESS_MAIN(TestStage)
#include "tst_stage.moc"

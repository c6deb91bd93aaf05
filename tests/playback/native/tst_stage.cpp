// SPDX-License-Identifier: GPL-3.0-or-later
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

QByteArray u16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(quint16(value), bytes.data());
    return bytes;
}

QByteArray record(int code, const QByteArray &payload)
{
    return char(code) + u16(int(payload.size())) + payload;
}

// A frame script in words, one action each: 'text pushes a string, 2 or -1.5
// a number, #N entry N of the constant pool (pool:a,b,c); label:x goes to a
// label; jump:L and if:L branch to the word @L; the other words are below.
QByteArray assemble(const QString &script)
{
    static const QHash<QString, QByteArray> table = [] {
        QHash<QString, QByteArray> result;
        const char *list =
            "end=00 next=04 prev=05 play=06 stop=07 quality=08 stopsounds=09 add=0a sub=0b "
            "mul=0c div=0d eq=0e lt=0f and=10 or=11 not=12 pop=17 get=1c set=1d trace=26 "
            "add2=47 lt2=48 eq2=49 dup=4c stricteq=66 gt=67 true=9602000501 false=9602000500 "
            "null=96010002 undefined=96010003 geturl=8302000000 waitframe=8a0300000000 "
            "settarget=8b010000 waitframe2=8d010000 geturl2=9a010000 goto2=9f010000 "
            "goto2play=9f010001 goto:4=8102000400 goto2bias:3=9f0300020300 "
            "settarget:child=8b06006368696c6400";
        for (const QString &entry : QString::fromLatin1(list).split(QLatin1Char(' ')))
            result.insert(entry.section(QLatin1Char('='), 0, 0),
                          QByteArray::fromHex(entry.section(QLatin1Char('='), 1).toLatin1()));
        return result;
    }();
    QList<QByteArray> pieces;
    QHash<int, QString> branches; // piece -> label it jumps to
    QHash<QString, int> labels;   // label -> piece after it
    for (const QString &word : words(script)) {
        const QString arg = word.section(QLatin1Char(':'), 1);
        bool isNumber = false;
        const double number = word.toDouble(&isNumber);
        if (word.startsWith(QLatin1Char('@'))) {
            labels.insert(word.mid(1), int(pieces.size()));
            continue;
        }
        if (word.startsWith(QLatin1String("jump:")) || word.startsWith(QLatin1String("if:")))
            branches.insert(int(pieces.size()), arg);
        if (table.contains(word)) {
            pieces.append(table.value(word));
        } else if (word.startsWith(QLatin1Char('\''))) {
            pieces.append(record(0x96, '\0' + word.mid(1).toUtf8() + '\0'));
        } else if (isNumber) {
            quint64 bits;
            std::memcpy(&bits, &number, sizeof bits);
            QByteArray value(8, '\0'); // the high word first
            qToLittleEndian(quint32(bits >> 32), value.data());
            qToLittleEndian(quint32(bits), value.data() + 4);
            pieces.append(record(0x96, '\6' + value));
        } else if (word.startsWith(QLatin1Char('#'))) {
            pieces.append(record(0x96, QByteArray("\x08") + char(word.mid(1).toInt())));
        } else if (word.startsWith(QLatin1String("pool:"))) {
            const QStringList entries = arg.split(QLatin1Char(','));
            pieces.append(
                record(0x88, u16(int(entries.size())) + entries.join(QChar(0)).toUtf8() + '\0'));
        } else if (word.startsWith(QLatin1String("label:"))) {
            pieces.append(record(0x8C, arg.toUtf8() + '\0'));
        } else if (branches.contains(int(pieces.size()))) {
            pieces.append(record(word.startsWith(QLatin1Char('j')) ? 0x99 : 0x9D, u16(0)));
        } else {
            qFatal("unknown action word %s", qPrintable(word));
        }
    }
    QList<int> starts{0};
    for (const QByteArray &piece : std::as_const(pieces))
        starts.append(starts.last() + int(piece.size()));
    for (auto it = branches.cbegin(); it != branches.cend(); ++it) {
        const int offset = starts[labels.value(it.value())] - starts[it.key() + 1];
        pieces[it.key()].replace(3, 2, u16(offset));
    }
    return pieces.join();
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
        const bool text = value.type == avm1::Value::Type::String;
        log.append(name + QLatin1Char('=') +
                   (text ? QLatin1Char('\'') + value.string + QLatin1Char('\'')
                         : avm1::toString(value, 8)));
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
Timeline timeline(const QString &layout, QSet<int> &characters)
{
    Timeline result;
    const QStringList frames = layout.split(QLatin1Char('|'));
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
    using Step = void (*)(Stage &, int);
    static const QHash<QChar, Step> steps = {
        {QLatin1Char('t'), [](Stage &s, int) { s.advance(); }},
        {QLatin1Char('g'), [](Stage &s, int frame) { s.gotoFrame(frame, false); }},
        {QLatin1Char('p'), [](Stage &s, int frame) { s.gotoFrame(frame, true); }},
        {QLatin1Char('r'), [](Stage &s, int) { s.rewind(); }},
        {QLatin1Char('f'), [](Stage &s, int) { s.stepForward(); }},
        {QLatin1Char('b'), [](Stage &s, int) { s.stepBack(); }},
        {QLatin1Char('s'), [](Stage &s, int) { s.stop(); }},
        {QLatin1Char('P'), [](Stage &s, int) { s.play(); }},
        {QLatin1Char('L'), [](Stage &s, int) { s.setLooping(false); }},
    };
    QVERIFY2(steps.contains(step.front()), qPrintable(step));
    steps.value(step.front())(stage, step.mid(1).toInt());
}

int objectCount(const DisplayObject &object)
{
    int count = 0;
    for (const DisplayObject &child : object.children)
        count += 1 + objectCount(child);
    return count;
}

} // namespace

class TestStage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scripts_data();
    void scripts();
    void scriptBounds();
    void timelines_data();
    void timelines();
    void framesBehind_data();
    void framesBehind();
    void objectBound();
    void nestingBound();
    void loopsForever();
};

void TestStage::scripts_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("log");
    const auto row = [](const char *name, int version, const char *script, const char *log) {
        QTest::newRow(name) << version << assemble(QString::fromUtf8(script))
                            << QString::fromUtf8(log);
    };
    // Damaged code: a sound reading of the bytes before each stop would reach it.
    const auto raw = [](const char *name, const char *hex, const char *log) {
        QTest::newRow(name) << 8 << QByteArray::fromHex(hex) << QString::fromUtf8(log);
    };
    row("arithmetic", 8,
        "'a 3 4 add2 set 'b 10 4 sub set 'c 1 4 div set 'd 3 2 mul set 'e 1 0 div set",
        "a=7 b=6 c=0.25 d=6 e=Infinity");
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
    row("another timeline is out of reach", 8,
        "settarget:child stop 1 goto2 'v 1 set settarget play 'w 'v get set", "play w=undefined");
    raw("sound", "0607", "play stop");
    raw("end", "000607", "");
    raw("string without its zero", "96030000616207", "");
    raw("record past the end", "0696ff0000", "play");
    raw("cut length", "0696", "play");
    raw("jump out of the block", "990200001007", "");
    raw("jump before the block", "99020000f007", "");
    raw("short goto", "8101000007", "");
    raw("unknown push type", "9601000e07", "");
    raw("action no timeline uses", "3a07", "");
}

void TestStage::scripts()
{
    QFETCH(int, version);
    QFETCH(QByteArray, code);
    QFETCH(QString, log);
    ScriptHost host;
    avm1::Budget budget;
    QVERIFY(avm1::Machine().run(code, host, version, budget));
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
    // The states at the start and after each step, or the sound calls at the
    // start, in each step and when the stage goes ("-" for none).
    QTest::addColumn<bool>("calls");
    QTest::addColumn<QString>("expected");
    const auto add = [](bool calls, const char *name, const char *root, const char *sprites,
                        const char *scripts, const char *steps, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(root) << QString::fromUtf8(sprites)
                            << QString::fromUtf8(scripts) << QString::fromUtf8(steps) << calls
                            << QString::fromUtf8(expected);
    };
    const auto row = [&](auto... args) { add(false, args...); };
    const auto sounds = [&](auto... args) { add(true, args...); };
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
    row("a removed sprite's waiting script skips its successor", "+1:5 | -1 +1:5", "5: | ",
        "5/1: stop", "t t", "0> 1:5@0 | 1> 1:5@0 | 0> 1:5@1");
    row("a sprite's variables are its own", "+1:5 +2:5 |", "5: | | ",
        "5/0: 'n get if:more 'n 1 set jump:counted @more 'n 'n get 1 add2 set @counted ;"
        "5/1: 'n get 2 lt2 if:on stop @on",
        "t t t t t",
        "0> 1:5@0 2:5@0 | 1> 1:5@1 2:5@1 | 0> 1:5@2 2:5@2 | 1> 1:5@0 2:5@0 | 0> 1:5@1 2:5@1 | "
        "1> 1:5@1 2:5@1");
    // Sounds.
    sounds("frames start their sounds", "!1 | !2x !3n | ", "", "", "t t t",
           "start1 | stop2 start3n | - | start1 | -");
    sounds("one frame plays once", "!1", "", "", "t t", "start1 | - | - | -");
    sounds("a missing sound is skipped", "!7 !1", "", "", "", "start1 | -");
    sounds("gotos skip the sounds between", "!1 | !2 | !3", "", "", "g2 g0 g0",
           "start1 | start3 | start1 | - | -");
    sounds("a sprite's sounds", "+1:5 |", "5: !4 | ", "", "t t", "start4 | - | start4 | -");
    sounds("stopSounds and rewind", "| !1 |", "", "2: stopsounds", "t t r",
           "- | start1 | stopall | stopall | -");
    sounds("stream blocks while playing", "~ | ~ | ~", "", "", "t t t",
           "blocks0:0 | blocks0:1 | blocks0:2 | blocks0:0 | ends0");
    sounds("a frame without a block ends the stream", "~ | | ~", "", "", "t t",
           "blocks0:0 | ends0 | blocks0:2 | ends0");
    sounds("a goto ends the stream", "~ | ~ | ~", "", "", "g2 t P t",
           "blocks0:0 | ends0 | - | - | blocks0:0 | ends0");
    sounds("stop ends the stream", "~ | ~ | ~", "", "", "t s P t",
           "blocks0:0 | blocks0:1 | ends0 | - | blocks0:2 | ends0");
    sounds("stopSounds ends the stream", "~ | ~ | ~", "", "1: stopsounds", "t t",
           "blocks0:0 | blocks0:1 ends0 stopall | blocks0:2 | ends0");
    sounds("a removed sprite's stream ends", "+1:5 | -1", "5: ~ | ~", "", "t",
           "blocks0:0 | blocks0:1 ends0 | -");
    sounds("two sprites, two streams", "+1:5 +2:5", "5: ~ | ~", "", "t",
           "blocks0:0 blocks1:0 | blocks0:1 blocks1:1 | ends0 ends1");
}

void TestStage::timelines()
{
    QFETCH(QString, root);
    QFETCH(QString, sprites);
    QFETCH(QString, scripts);
    QFETCH(QString, steps);
    QFETCH(bool, calls);
    QFETCH(QString, expected);
    RecordingSink sink;
    QStringList seen;
    const auto take = [&](const Stage *stage) {
        if (calls)
            seen.append(sink.log.isEmpty() ? QStringLiteral("-") : sink.log.join(QLatin1Char(' ')));
        else if (stage)
            seen.append(state(*stage));
        sink.log.clear();
    };
    {
        Stage stage(makeMovie(root, sprites, scripts), &sink);
        take(&stage);
        for (const QString &step : words(steps)) {
            perform(stage, step);
            take(&stage);
        }
    }
    take(nullptr);
    QCOMPARE(seen.join(QStringLiteral(" | ")), expected);
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
    // A sprite that holds itself: each holds the next at depth 1, a shape at 2.
    Stage stage(makeMovie(QStringLiteral("+1:5"), QStringLiteral("5: +1:5 +2:10 | ")));
    for (int tick = 0; tick < 2; ++tick, stage.advance()) {
        const DisplayObject *object = &stage.root();
        int levels = 0;
        for (; !object->children.empty(); ++levels)
            object = &object->children.front();
        QCOMPARE(levels, Limits::spriteNesting + 1);
        QCOMPARE(object->characterId, quint16(10));
    }
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

// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_AVM1_H
#define ZORVINA_AVM1_H

// The part of ActionScript 1/2 bytecode that frame scripts of a timeline use:
// timeline control, a stack, a constant pool, branches, comparisons,
// arithmetic and the timeline's own variables. Scripts come from untrusted
// files, so every run stays within a budget: a broken or hostile script
// ends early, it never hangs the player nor eats its memory.

#include "swfmovie.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace swf::avm1 {

constexpr int maxStack = 10000;       // values on the stack of one block
constexpr int maxStringChars = 32768; // 64 KB; longer strings are cut here

struct Value
{
    enum class Type { Undefined, Null, Boolean, Number, String };
    Type type = Type::Undefined;
    bool boolean = false;
    double number = 0;
    QString string;

    static Value fromBool(bool b);
    static Value fromNumber(double n);
    static Value fromString(const QString &s);
    static Value null();
};

// Conversions as the player of a movie of that SWF version makes them.
double toNumber(const Value &value, int version);
bool toBoolean(const Value &value, int version);
QString toString(const Value &value, int version);

// What one turn of the stage may still spend on scripts.
struct Budget
{
    int actions = Limits::actionsPerFrame;
    qint64 stringChars = 16 * 1024 * 1024; // characters of strings made by scripts

    bool spend(int n = 1);
    bool spendChars(qint64 n);
    bool exhausted() const { return actions <= 0 || stringChars < 0; }
};

// The timeline a script runs on.
class Host
{
public:
    virtual ~Host() = default;
    virtual bool isRoot() const = 0;
    virtual int currentFrame() const = 0; // 0-based
    virtual int frameCount() const = 0;
    virtual int labelFrame(const QString &label) const = 0; // -1 when unknown
    virtual void gotoFrame(int frame, bool play) = 0;       // 0-based, in range
    virtual void setPlaying(bool playing) = 0;
    virtual void stopSounds() = 0;
    // Names already stripped of a path to this timeline (and lower case
    // before SWF 7, whose names ignore case).
    virtual Value variable(const QString &name) const = 0;
    virtual void setVariable(const QString &name, const Value &value) = 0;
};

class Machine
{
public:
    // Runs one DoAction block on host's timeline. False when the budget ran
    // out: no more actions this turn.
    bool run(const QByteArray &code, Host &host, int version, Budget &budget);

private:
    // Kept between runs so that their storage is reused.
    std::vector<Value> m_stack;
    std::vector<QString> m_pool;
    friend class Run;
};

} // namespace swf::avm1

#endif

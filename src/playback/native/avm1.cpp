// SPDX-License-Identifier: GPL-3.0-or-later
#include "avm1.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace swf::avm1 {

Value Value::fromBool(bool b)
{
    Value v;
    v.type = Type::Boolean;
    v.boolean = b;
    return v;
}

Value Value::fromNumber(double n)
{
    Value v;
    v.type = Type::Number;
    v.number = n;
    return v;
}

Value Value::fromString(const QString &s)
{
    Value v;
    v.type = Type::String;
    v.string = s.size() > maxStringChars ? s.left(maxStringChars) : s;
    return v;
}

Value Value::null()
{
    Value v;
    v.type = Type::Null;
    return v;
}

static double stringToNumber(const QString &text)
{
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nan("");
    bool ok = false;
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const qint64 n = s.mid(2).toLongLong(&ok, 16);
        return ok ? double(n) : std::nan("");
    }
    const double d = s.toDouble(&ok);
    return ok ? d : std::nan("");
}

double toNumber(const Value &value, int version)
{
    switch (value.type) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return version >= 7 ? std::nan("") : 0.0;
    case Value::Type::Boolean:
        return value.boolean ? 1 : 0;
    case Value::Type::Number:
        return value.number;
    case Value::Type::String:
        return stringToNumber(value.string);
    }
    return 0;
}

bool toBoolean(const Value &value, int version)
{
    switch (value.type) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return false;
    case Value::Type::Boolean:
        return value.boolean;
    case Value::Type::Number:
        return value.number != 0 && !std::isnan(value.number);
    case Value::Type::String:
        if (version >= 7)
            return !value.string.isEmpty();
        return toBoolean(Value::fromNumber(stringToNumber(value.string)), version);
    }
    return false;
}

static QString numberToString(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (std::abs(d) < 1e15 && d == std::trunc(d))
        return QString::number(qint64(d));
    return QString::number(d, 'g', 15);
}

QString toString(const Value &value, int version)
{
    switch (value.type) {
    case Value::Type::Undefined:
        return version >= 7 ? QStringLiteral("undefined") : QString();
    case Value::Type::Null:
        return QStringLiteral("null");
    case Value::Type::Boolean:
        return value.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case Value::Type::Number:
        return numberToString(value.number);
    case Value::Type::String:
        return value.string;
    }
    return QString();
}

bool Budget::spend(int n)
{
    actions -= n;
    return !exhausted();
}

bool Budget::spendChars(qint64 n)
{
    stringChars -= n;
    return !exhausted();
}

namespace {

enum Op : quint8 {
    End = 0x00,
    NextFrame = 0x04,
    PreviousFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    ToggleQuality = 0x08,
    StopSounds = 0x09,
    Add = 0x0A,
    Subtract = 0x0B,
    Multiply = 0x0C,
    Divide = 0x0D,
    Equals = 0x0E,
    Less = 0x0F,
    And = 0x10,
    Or = 0x11,
    Not = 0x12,
    Pop = 0x17,
    GetVariable = 0x1C,
    SetVariable = 0x1D,
    Trace = 0x26,
    Add2 = 0x47,
    Less2 = 0x48,
    Equals2 = 0x49,
    PushDuplicate = 0x4C,
    StrictEquals = 0x66,
    Greater = 0x67,
    GotoFrame = 0x81,
    GetUrl = 0x83,
    ConstantPool = 0x88,
    WaitForFrame = 0x8A,
    SetTarget = 0x8B,
    GoToLabel = 0x8C,
    WaitForFrame2 = 0x8D,
    Push = 0x96,
    Jump = 0x99,
    GetUrl2 = 0x9A,
    If = 0x9D,
    GotoFrame2 = 0x9F,
};

// Reads an action's payload; any read past its end marks it bad.
class Payload
{
public:
    Payload(const char *data, int size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos >= m_size; }

    quint8 u8() { return take(1) ? quint8(m_data[m_pos - 1]) : 0; }
    quint16 u16() { return take(2) ? qFromLittleEndian<quint16>(m_data + m_pos - 2) : 0; }
    qint32 s32() { return take(4) ? qFromLittleEndian<qint32>(m_data + m_pos - 4) : 0; }
    float f32() { return take(4) ? qFromLittleEndian<float>(m_data + m_pos - 4) : 0; }
    // Doubles come as two little-endian words, the high word first.
    double f64()
    {
        if (!take(8))
            return 0;
        const quint64 high = qFromLittleEndian<quint32>(m_data + m_pos - 8);
        const quint64 low = qFromLittleEndian<quint32>(m_data + m_pos - 4);
        const quint64 bits = (high << 32) | low;
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    // A zero-terminated string; its bytes, without the zero.
    QByteArray cString()
    {
        const char *start = m_data + m_pos;
        const void *zero = m_ok ? std::memchr(start, 0, size_t(m_size - m_pos)) : nullptr;
        if (!zero) {
            m_ok = false;
            return QByteArray();
        }
        const int length = int(static_cast<const char *>(zero) - start);
        m_pos += length + 1;
        return QByteArray(start, length);
    }

private:
    bool take(int n)
    {
        if (!m_ok || m_size - m_pos < n) {
            m_ok = false;
            return false;
        }
        m_pos += n;
        return true;
    }

    const char *m_data;
    int m_size;
    int m_pos = 0;
    bool m_ok = true;
};

// Stands for a timeline that a script names with SetTarget. This player
// reaches no other timeline than the script's own, so what the script asks of
// another one does nothing (rather than acting on the wrong timeline).
class Elsewhere : public Host
{
public:
    bool isRoot() const override { return false; }
    int currentFrame() const override { return 0; }
    int frameCount() const override { return 0; }
    int labelFrame(const QString &) const override { return -1; }
    void gotoFrame(int, bool) override {}
    void setPlaying(bool) override {}
    void stopSounds() override {}
    Value variable(const QString &) const override { return Value(); }
    void setVariable(const QString &, const Value &) override {}
};

} // namespace

// One run of one block.
class Run
{
public:
    Run(Machine &machine, Host &host, int version, Budget &budget)
        : m_stack(machine.m_stack), m_pool(machine.m_pool), m_host(host), m_target(&host),
          m_version(version), m_budget(budget)
    {
        m_stack.clear();
        m_pool.clear();
    }
    ~Run()
    {
        m_stack.clear();
        m_pool.clear();
    }

    bool run(const QByteArray &code);

private:
    enum class Next { Go, Stop, Jump };
    Next step(quint8 op, Payload &payload, int &jumpOffset);
    Next stackOp(quint8 op);
    bool push(Payload &payload);
    bool readPool(Payload &payload);
    void gotoFrame2(const Value &frame, bool play, int bias);
    void gotoIndex(double frame, bool play);

    void pushValue(Value v)
    {
        if (int(m_stack.size()) >= maxStack)
            m_overflow = true;
        else
            m_stack.push_back(std::move(v));
    }
    Value pop()
    {
        if (m_stack.empty())
            return Value();
        Value v = std::move(m_stack.back());
        m_stack.pop_back();
        return v;
    }
    Value boolResult(bool b) const
    {
        // SWF 4 had no booleans: its comparisons give 1 or 0.
        return m_version >= 5 ? Value::fromBool(b) : Value::fromNumber(b ? 1 : 0);
    }
    QString text(const QByteArray &bytes);
    QString ownName(const QString &name) const;

    double num(const Value &v) const { return toNumber(v, m_version); }
    bool truth(const Value &v) const { return toBoolean(v, m_version); }

    std::vector<Value> &m_stack;
    std::vector<QString> &m_pool;
    Host &m_host;
    Host *m_target; // m_host, or m_elsewhere after a SetTarget to another timeline
    Elsewhere m_elsewhere;
    int m_version;
    Budget &m_budget;
    bool m_overflow = false;
};

QString Run::text(const QByteArray &bytes)
{
    const QByteArray cut = bytes.left(maxStringChars * 3);
    QString s = m_version >= 6 ? QString::fromUtf8(cut) : QString::fromLatin1(cut);
    if (s.size() > maxStringChars)
        s.truncate(maxStringChars);
    m_budget.spendChars(s.size());
    return s;
}

bool Run::run(const QByteArray &code)
{
    const int size = int(code.size());
    int pc = 0;
    while (pc < size) {
        if (!m_budget.spend())
            return false;
        const quint8 op = quint8(code[pc]);
        if (op == End)
            return true;
        int start = pc + 1;
        int length = 0;
        if (op >= 0x80) {
            if (size - start < 2)
                return true;
            length = qFromLittleEndian<quint16>(code.constData() + start);
            start += 2;
            if (size - start < length)
                return true;
        }
        Payload payload(code.constData() + start, length);
        int offset = 0;
        const Next next = step(op, payload, offset);
        if (m_budget.exhausted())
            return false;
        if (next == Next::Stop || m_overflow)
            return true;
        pc = start + length;
        if (next == Next::Jump) {
            const qint64 target = qint64(pc) + offset;
            if (target < 0 || target > size)
                return true;
            pc = int(target);
        }
    }
    return true;
}

Run::Next Run::step(quint8 op, Payload &payload, int &jumpOffset)
{
    switch (op) {
    case NextFrame:
        gotoIndex(m_target->currentFrame() + 1.0, false);
        return Next::Go;
    case PreviousFrame:
        gotoIndex(m_target->currentFrame() - 1.0, false);
        return Next::Go;
    case Play:
        m_target->setPlaying(true);
        return Next::Go;
    case Stop:
        m_target->setPlaying(false);
        return Next::Go;
    case StopSounds:
        m_host.stopSounds();
        return Next::Go;
    case ToggleQuality:
    case GetUrl:
        return Next::Go;
    case SetTarget: {
        const QByteArray target = payload.cString();
        if (!payload.ok())
            return Next::Stop;
        m_target = target.isEmpty() ? &m_host : &m_elsewhere;
        return Next::Go;
    }
    case WaitForFrame:
        // Every frame is loaded: the wait never skips.
        return Next::Go;
    case GotoFrame: {
        const quint16 frame = payload.u16();
        if (!payload.ok())
            return Next::Stop;
        gotoIndex(frame, false);
        return Next::Go;
    }
    case GoToLabel: {
        const QString label = text(payload.cString());
        if (!payload.ok())
            return Next::Stop;
        const int frame = m_target->labelFrame(label);
        if (frame >= 0)
            m_target->gotoFrame(frame, false);
        return Next::Go;
    }
    case GotoFrame2: {
        const quint8 flags = payload.u8();
        const int bias = (flags & 2) ? payload.u16() : 0;
        if (!payload.ok())
            return Next::Stop;
        gotoFrame2(pop(), flags & 1, bias);
        return Next::Go;
    }
    case ConstantPool:
        return readPool(payload) ? Next::Go : Next::Stop;
    case Push:
        return push(payload) ? Next::Go : Next::Stop;
    case Jump:
    case If: {
        jumpOffset = qint16(payload.u16());
        if (!payload.ok())
            return Next::Stop;
        if (op == Jump)
            return Next::Jump;
        return truth(pop()) ? Next::Jump : Next::Go;
    }
    case GetUrl2:
        pop();
        pop();
        return Next::Go;
    case WaitForFrame2:
        pop();
        return Next::Go;
    default:
        return stackOp(op);
    }
}

Run::Next Run::stackOp(quint8 op)
{
    switch (op) {
    case Pop:
    case Trace:
        pop();
        return Next::Go;
    case PushDuplicate:
        pushValue(m_stack.empty() ? Value() : m_stack.back());
        return Next::Go;
    case Not:
        pushValue(boolResult(!truth(pop())));
        return Next::Go;
    case GetVariable: {
        const QString name = ownName(toString(pop(), m_version));
        pushValue(name.isNull() ? Value() : m_target->variable(name));
        return Next::Go;
    }
    case SetVariable: {
        Value value = pop();
        const QString name = ownName(toString(pop(), m_version));
        if (!name.isNull())
            m_target->setVariable(name, value);
        return Next::Go;
    }
    default:
        break;
    }

    // The rest take two operands: a from the top, b below it.
    const Value a = pop();
    const Value b = pop();
    switch (op) {
    case Add:
        pushValue(Value::fromNumber(num(b) + num(a)));
        break;
    case Subtract:
        pushValue(Value::fromNumber(num(b) - num(a)));
        break;
    case Multiply:
        pushValue(Value::fromNumber(num(b) * num(a)));
        break;
    case Divide:
        pushValue(Value::fromNumber(num(b) / num(a)));
        break;
    case Equals:
        pushValue(boolResult(num(b) == num(a)));
        break;
    case Less:
        pushValue(boolResult(num(b) < num(a)));
        break;
    case And:
        pushValue(boolResult(truth(b) && truth(a)));
        break;
    case Or:
        pushValue(boolResult(truth(b) || truth(a)));
        break;
    case Add2:
        if (a.type == Value::Type::String || b.type == Value::Type::String) {
            const QString left = toString(b, m_version);
            const QString right = toString(a, m_version);
            const int room = std::max(0, maxStringChars - int(left.size()));
            const QString joined = left + right.left(room);
            m_budget.spendChars(joined.size());
            pushValue(Value::fromString(joined));
        } else {
            pushValue(Value::fromNumber(num(b) + num(a)));
        }
        break;
    case Less2:
    case Greater: {
        // Greater is Less2 with its operands swapped.
        const Value &left = op == Less2 ? b : a;
        const Value &right = op == Less2 ? a : b;
        if (left.type == Value::Type::String && right.type == Value::Type::String) {
            pushValue(Value::fromBool(left.string < right.string));
        } else {
            const double l = num(left);
            const double r = num(right);
            pushValue(std::isnan(l) || std::isnan(r) ? Value() : Value::fromBool(l < r));
        }
        break;
    }
    case Equals2:
    case StrictEquals: {
        bool equal;
        if (a.type != b.type) {
            using T = Value::Type;
            const bool nullish = (a.type == T::Null || a.type == T::Undefined) &&
                                 (b.type == T::Null || b.type == T::Undefined);
            const bool anyNullish = a.type == T::Null || a.type == T::Undefined ||
                                    b.type == T::Null || b.type == T::Undefined;
            if (op == StrictEquals)
                equal = false;
            else if (nullish)
                equal = true;
            else
                equal = !anyNullish && num(a) == num(b);
        } else if (a.type == Value::Type::String) {
            equal = a.string == b.string;
        } else if (a.type == Value::Type::Boolean) {
            equal = a.boolean == b.boolean;
        } else if (a.type == Value::Type::Number) {
            equal = a.number == b.number;
        } else {
            equal = true; // both undefined or both null
        }
        pushValue(Value::fromBool(equal));
        break;
    }
    default:
        // Not an action a timeline may use: the reader lets none through,
        // and a block that has one stops here.
        return Next::Stop;
    }
    return Next::Go;
}

bool Run::push(Payload &payload)
{
    while (payload.ok() && !payload.atEnd()) {
        const quint8 type = payload.u8();
        switch (type) {
        case 0:
            pushValue(Value::fromString(text(payload.cString())));
            break;
        case 1:
            pushValue(Value::fromNumber(payload.f32()));
            break;
        case 2:
            pushValue(Value::null());
            break;
        case 3:
            pushValue(Value());
            break;
        case 4: // registers belong to functions, which timelines here lack
            payload.u8();
            pushValue(Value());
            break;
        case 5:
            pushValue(Value::fromBool(payload.u8() != 0));
            break;
        case 6:
            pushValue(Value::fromNumber(payload.f64()));
            break;
        case 7:
            pushValue(Value::fromNumber(payload.s32()));
            break;
        case 8:
        case 9: {
            const size_t index = type == 8 ? payload.u8() : payload.u16();
            pushValue(index < m_pool.size() ? Value::fromString(m_pool[index]) : Value());
            break;
        }
        default:
            return false;
        }
        if (m_overflow || m_budget.exhausted())
            return false;
    }
    return payload.ok();
}

bool Run::readPool(Payload &payload)
{
    m_pool.clear();
    const int count = payload.u16();
    for (int i = 0; i < count && payload.ok(); ++i)
        m_pool.push_back(text(payload.cString()));
    return payload.ok() && !m_budget.exhausted();
}

void Run::gotoIndex(double frame, bool play)
{
    if (std::isnan(frame) || m_target->frameCount() <= 0)
        return;
    const double last = m_target->frameCount() - 1;
    m_target->gotoFrame(int(std::clamp(frame, 0.0, last)), play);
}

void Run::gotoFrame2(const Value &frame, bool play, int bias)
{
    if (frame.type == Value::Type::String) {
        bool isNumber = false;
        const int number = frame.string.trimmed().toInt(&isNumber);
        if (isNumber) {
            gotoIndex(double(number) - 1 + bias, play);
            return;
        }
        const int labelled = m_target->labelFrame(frame.string);
        if (labelled >= 0)
            m_target->gotoFrame(labelled, play);
        return;
    }
    gotoIndex(std::floor(num(frame)) - 1 + bias, play);
}

// The name of a variable of this timeline that `name` designates, or a null
// string when it points into another timeline, which this player does not
// reach.
QString Run::ownName(const QString &name) const
{
    int split = int(name.lastIndexOf(QLatin1Char(':')));
    if (split < 0)
        split = int(name.lastIndexOf(QLatin1Char('.')));
    QString variable = split < 0 ? name : name.mid(split + 1);
    if (m_version < 7)
        variable = variable.toLower();
    if (split < 0)
        return variable;
    const QString path = name.left(split);
    if (path == QLatin1String("this"))
        return variable;
    const bool rootPath = path == QLatin1String("_root") || path == QLatin1String("_level0") ||
                          path == QLatin1String("/");
    return rootPath && m_target->isRoot() ? variable : QString();
}

bool Machine::run(const QByteArray &code, Host &host, int version, Budget &budget)
{
    Run run(*this, host, version, budget);
    return run.run(code);
}

} // namespace swf::avm1

// SPDX-License-Identifier: GPL-3.0-or-later
#include "swfmovie.h"

#include "swfbits.h"
#include "swfparts.h"

#include <lzma.h>

#include <algorithm>

namespace swf {

bool ColorTransform::isIdentity() const
{
    return rMult == 1 && gMult == 1 && bMult == 1 && aMult == 1 && rAdd == 0 && gAdd == 0 &&
           bAdd == 0 && aAdd == 0;
}

namespace {

int channel(int value, float mult, float add)
{
    return qBound(0, qRound(value * mult + add), 255);
}

} // namespace

QColor ColorTransform::apply(const QColor &color) const
{
    return QColor(channel(color.red(), rMult, rAdd), channel(color.green(), gMult, gAdd),
                  channel(color.blue(), bMult, bAdd), channel(color.alpha(), aMult, aAdd));
}

ColorTransform ColorTransform::then(const ColorTransform &outer) const
{
    ColorTransform result;
    result.rMult = rMult * outer.rMult;
    result.gMult = gMult * outer.gMult;
    result.bMult = bMult * outer.bMult;
    result.aMult = aMult * outer.aMult;
    result.rAdd = rAdd * outer.rMult + outer.rAdd;
    result.gAdd = gAdd * outer.gMult + outer.gAdd;
    result.bAdd = bAdd * outer.bMult + outer.bAdd;
    result.aAdd = aAdd * outer.aMult + outer.aAdd;
    return result;
}

namespace {

struct Tag
{
    int code = 0;
    Reader body;
};

Tag nextTag(Reader &in)
{
    const quint16 header = in.u16();
    const int code = header >> 6;
    qsizetype length = header & 0x3F;
    if (length == 0x3F)
        length = in.u32();
    if (length > in.bytesLeft())
        refuse(QStringLiteral("tag %1 runs past the end of the file").arg(code));
    return Tag{code, in.take(length)};
}

// What the tags the native player leaves to the web player bring.
QString unsupportedTag(int code)
{
    switch (code) {
    case 7:
    case 17:
    case 23:
    case 34:
        return QStringLiteral("buttons");
    case 37:
        return QStringLiteral("editable text");
    case 60:
    case 61:
        return QStringLiteral("video");
    case 59:
        return QStringLiteral("sprite initialisation actions");
    case 72:
    case 76:
    case 82:
    case 89:
        return QStringLiteral("ActionScript 3");
    case 57:
    case 71:
        return QStringLiteral("imported assets");
    case 90:
        return QStringLiteral("JPEG with a deblocking filter");
    case 91:
        return QStringLiteral("OpenType font");
    }
    return QStringLiteral("not understood");
}

// Tags that change nothing a player shows.
bool skippable(int code)
{
    static const int codes[] = {24, 41, 56, 58, 63, 64, 65, 66, 73, 74, 77, 87, 88};
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes) ||
           (code >= 255 && code <= 1023);
}

bool isSimpleAction(quint8 code)
{
    static const quint8 codes[] = {0x00, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                                   0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x17, 0x1C,
                                   0x1D, 0x26, 0x47, 0x48, 0x49, 0x4C, 0x66, 0x67};
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

void checkPush(Reader &values)
{
    static const int sizes[] = {-1, 4, 0, 0, -2, 1, 8, 4, 1, 2};
    while (!values.atEnd()) {
        const quint8 type = values.u8();
        if (type > 9 || sizes[type] == -2)
            refuse(QStringLiteral("a push of value type %1").arg(type));
        if (sizes[type] < 0)
            values.string();
        else
            values.skip(sizes[type]);
    }
}

// An AVM1 action block: only the actions the stage runs, every record
// whole, every branch landing on a record.
class ActionCheck
{
public:
    explicit ActionCheck(const QByteArray &block) : m_in(block.constData(), block.size()) {}

    void run();

private:
    void checkRecord(quint8 code, Reader &record);

    Reader m_in;
    QList<qsizetype> m_starts;
    QList<qsizetype> m_targets;
    QList<std::pair<qsizetype, int>> m_waits; // record index, actions skipped
};

void ActionCheck::run()
{
    while (!m_in.atEnd()) {
        m_starts.append(m_in.position());
        const quint8 code = m_in.u8();
        if (code < 0x80) {
            if (!isSimpleAction(code))
                refuse(QStringLiteral("action 0x%1").arg(code, 2, 16, QLatin1Char('0')));
            continue;
        }
        const quint16 length = m_in.u16();
        if (length > m_in.bytesLeft())
            refuse(QStringLiteral("action 0x%1 runs past its block").arg(code, 2, 16));
        Reader record = m_in.take(length);
        checkRecord(code, record);
    }
    for (qsizetype target : std::as_const(m_targets)) {
        if (target != m_in.position() &&
            !std::binary_search(m_starts.cbegin(), m_starts.cend(), target))
            refuse(QStringLiteral("a branch to byte %1, not the start of an action").arg(target));
    }
    for (const auto &[index, skip] : std::as_const(m_waits)) {
        if (index + 1 + skip > m_starts.size())
            refuse(QStringLiteral("a frame wait skipping past its block"));
    }
}

void ActionCheck::checkRecord(quint8 code, Reader &record)
{
    switch (code) {
    case 0x81: // GotoFrame
        record.u16();
        break;
    case 0x83: // GetURL
        record.string();
        record.string();
        break;
    case 0x8A: // WaitForFrame
        record.u16();
        m_waits.append({m_starts.size() - 1, record.u8()});
        break;
    case 0x8D: // WaitForFrame2
        m_waits.append({m_starts.size() - 1, record.u8()});
        break;
    case 0x8B: // SetTarget
        if (!record.string().isEmpty())
            refuse(QStringLiteral("an action aimed at another timeline"));
        break;
    case 0x8C: // GoToLabel
        record.string();
        break;
    case 0x88: { // ConstantPool
        const int count = record.u16();
        for (int i = 0; i < count; ++i)
            record.string();
        break;
    }
    case 0x96:
        checkPush(record);
        break;
    case 0x99: // Jump
    case 0x9D: // If
        m_targets.append(m_in.position() + record.s16());
        break;
    case 0x9F: // GotoFrame2
        if (record.u8() & 0x02)
            record.u16();
        break;
    case 0x9A: // GetURL2
        record.u8();
        break;
    default:
        refuse(QStringLiteral("action 0x%1").arg(code, 2, 16, QLatin1Char('0')));
    }
}

// What the timeline being read has so far.
struct TimelineState
{
    Timeline &timeline;
    int spriteId = -1; // -1 for the root
    Frame frame;
    bool frameUsed = false;
    int childNesting = 0; // the deepest sprite nesting it places
};

class MovieReader
{
public:
    explicit MovieReader(Movie &movie) : m_movie(movie) {}

    void readTimeline(Reader &in, TimelineState &state);

private:
    void readTag(const Tag &tag, TimelineState &state);
    bool readControl(int code, Reader &body, TimelineState &state);
    void readRootTag(int code, Reader &body);
    void keepPrivate(int code, Reader &body);
    void readCharacter(int code, Reader &body);
    void readSprite(quint16 id, Reader &body);
    void define(quint16 id, CharacterKind kind);
    void showFrame(TimelineState &state);
    void addCommand(DisplayCommand command, TimelineState &state);
    void checkPlaced(quint16 id, TimelineState &state);
    DisplayCommand readPlace(int code, Reader &body);
    // Movies before version 6 hold Latin-1 text.
    QString text(const QByteArray &bytes) const
    {
        return m_movie.version >= 6 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    }
    void readPlaceFlags3(quint8 flags, Reader &body);

    Movie &m_movie;
    BitmapState m_bitmaps;
    QHash<quint16, int> m_spriteNesting;
    Budget m_budget;
};

void MovieReader::readTimeline(Reader &in, TimelineState &state)
{
    while (true) {
        if (in.atEnd())
            refuse(QStringLiteral("the tags end without an End tag"));
        const Tag tag = nextTag(in);
        if (tag.code == 0)
            break;
        try {
            readTag(tag, state);
        } catch (const Refusal &refusal) {
            refuse(QStringLiteral("tag %1: %2").arg(tag.code).arg(refusal.reason));
        }
    }
    if (state.frameUsed || state.timeline.frames.isEmpty())
        showFrame(state);
}

void MovieReader::readTag(const Tag &tag, TimelineState &state)
{
    Reader body = tag.body;
    if (readControl(tag.code, body, state))
        return;
    if (state.spriteId >= 0)
        refuse(QStringLiteral("not allowed inside a sprite"));
    readRootTag(tag.code, body);
}

bool MovieReader::readControl(int code, Reader &body, TimelineState &state)
{
    switch (code) {
    case 1:
        showFrame(state);
        return true;
    case 4:
    case 26:
    case 70: {
        DisplayCommand command = readPlace(code, body);
        if (command.characterId)
            checkPlaced(*command.characterId, state);
        addCommand(std::move(command), state);
        return true;
    }
    case 5:
    case 28: {
        DisplayCommand command;
        command.kind = DisplayCommand::Kind::Remove;
        if (code == 5)
            body.u16();
        command.depth = body.u16();
        addCommand(std::move(command), state);
        return true;
    }
    case 12: {
        const QByteArray actions = body.rest();
        if (actions.size() > Limits::actionBytes)
            refuse(QStringLiteral("an action block of %1 bytes").arg(actions.size()));
        ActionCheck(actions).run();
        state.frame.actions.append(actions);
        break;
    }
    case 15:
        m_budget.spend(1);
        state.frame.sounds.append(readSoundStart(body, m_movie));
        break;
    case 18:
    case 45:
        if (state.timeline.stream)
            refuse(QStringLiteral("a second sound stream"));
        state.timeline.stream = readStreamHead(body);
        return true;
    case 19:
        if (!state.timeline.stream || state.frame.streamBlock)
            refuse(QStringLiteral("a sound stream block without its stream, or two in a frame"));
        state.frame.streamBlock = body.rest();
        break;
    case 43: {
        m_budget.spend(1);
        const QString label = text(body.string()).toLower();
        if (!state.timeline.labels.contains(label))
            state.timeline.labels.insert(label, int(state.timeline.frames.size()));
        break;
    }
    default:
        return false;
    }
    state.frameUsed = true;
    return true;
}

void MovieReader::showFrame(TimelineState &state)
{
    if (state.timeline.frames.size() >= Limits::frames)
        refuse(QStringLiteral("a timeline of more than %1 frames").arg(Limits::frames));
    m_budget.spend(1);
    state.timeline.frames.append(std::move(state.frame));
    state.frame = Frame();
    state.frameUsed = false;
}

void MovieReader::addCommand(DisplayCommand command, TimelineState &state)
{
    m_budget.spend(1);
    state.frame.commands.append(std::move(command));
    state.frameUsed = true;
}

void MovieReader::checkPlaced(quint16 id, TimelineState &state)
{
    if (id == state.spriteId)
        refuse(QStringLiteral("sprite %1 places itself").arg(id));
    const auto kind = m_movie.kinds.constFind(id);
    if (kind == m_movie.kinds.constEnd())
        refuse(QStringLiteral("placing character %1, which is not defined").arg(id));
    switch (*kind) {
    case CharacterKind::Sprite:
        state.childNesting = qMax(state.childNesting, m_spriteNesting.value(id));
        return;
    case CharacterKind::Shape:
    case CharacterKind::MorphShape:
    case CharacterKind::Text:
        return;
    default:
        refuse(QStringLiteral("placing character %1, which cannot be shown on its own").arg(id));
    }
}

DisplayCommand MovieReader::readPlace(int code, Reader &body)
{
    DisplayCommand command;
    if (code == 4) {
        command.characterId = body.u16();
        command.depth = body.u16();
        command.matrix = body.matrix();
        if (!body.atEnd())
            command.colorTransform = body.colorTransform(false);
        return command;
    }
    const quint8 flags = body.u8();
    const quint8 flags3 = code == 70 ? body.u8() : 0;
    command.depth = body.u16();
    if (code == 70 && ((flags3 & 0x08) || ((flags3 & 0x10) && (flags & 0x02))))
        body.string(); // a class name, which only ActionScript 3 uses
    command.move = flags & 0x01;
    if (flags & 0x02)
        command.characterId = body.u16();
    if (flags & 0x04)
        command.matrix = body.matrix();
    if (flags & 0x08)
        command.colorTransform = body.colorTransform(true);
    if (flags & 0x10)
        command.ratio = body.u16();
    if (flags & 0x20) {
        const QByteArray name = body.string();
        command.name = text(name);
    }
    if (flags & 0x40)
        command.clipDepth = body.u16();
    if (code == 70)
        readPlaceFlags3(flags3, body);
    if (flags & 0x80)
        refuse(QStringLiteral("a placement with clip event actions"));
    return command;
}

void MovieReader::readPlaceFlags3(quint8 flags, Reader &body)
{
    if (flags & 0x01)
        refuse(QStringLiteral("a placement with filters"));
    if (flags & 0x02) {
        const int mode = body.u8();
        if (mode > 1)
            refuse(QStringLiteral("blend mode %1").arg(mode));
    }
    if (flags & 0x04)
        body.u8(); // cache as bitmap: drawing it directly looks the same
    if (flags & 0x20 && body.u8() == 0)
        refuse(QStringLiteral("a placement made invisible"));
    if (flags & 0x40)
        refuse(QStringLiteral("a placement with an opaque background"));
    if (flags & 0x10)
        refuse(QStringLiteral("a placement of an ActionScript 3 image"));
}

void MovieReader::define(quint16 id, CharacterKind kind)
{
    if (m_movie.kinds.contains(id))
        refuse(QStringLiteral("character %1 defined twice").arg(id));
    if (m_movie.kinds.size() >= Limits::characters)
        refuse(QStringLiteral("more than %1 characters").arg(Limits::characters));
    m_movie.kinds.insert(id, kind);
}

void MovieReader::readRootTag(int code, Reader &body)
{
    switch (code) {
    case 8:
        m_bitmaps.jpegTables = body.rest();
        return;
    case 9:
        m_movie.background = body.rgb();
        return;
    case 69:
        if (body.u8() & 0x08)
            refuse(QStringLiteral("an ActionScript 3 movie"));
        return;
    default:
        if (code >= 255 && code <= 1023) {
            keepPrivate(code, body);
            return;
        }
        if (skippable(code))
            return;
    }
    readCharacter(code, body);
}

void MovieReader::keepPrivate(int code, Reader &body)
{
    QHash<int, QByteArray> &kept = m_movie.privateData;
    if (kept.contains(code) || kept.size() >= Limits::privateTags ||
        body.bytesLeft() > Limits::privateTagBytes)
        return;
    kept.insert(code, body.rest());
}

void MovieReader::readCharacter(int code, Reader &body)
{
    switch (code) {
    case 2:
    case 22:
    case 32:
    case 83: {
        const quint16 id = body.u16();
        const int version = code == 2 ? 1 : (code == 22 ? 2 : (code == 32 ? 3 : 4));
        m_movie.shapes.insert(id, readShape(body, version, m_budget));
        define(id, CharacterKind::Shape);
        return;
    }
    case 46:
    case 84: {
        const quint16 id = body.u16();
        m_movie.morphShapes.insert(id, readMorphShape(body, code == 46 ? 1 : 2, m_budget));
        define(id, CharacterKind::MorphShape);
        return;
    }
    case 6:
    case 20:
    case 21:
    case 35:
    case 36: {
        const quint16 id = body.u16();
        define(id, CharacterKind::Bitmap);
        m_movie.bitmaps.insert(id, readBitmap(body, code, m_bitmaps));
        return;
    }
    case 10:
    case 48:
    case 75: {
        const quint16 id = body.u16();
        m_movie.fonts.insert(id, readFont(body, code == 10 ? 1 : (code == 48 ? 2 : 3), m_budget));
        define(id, CharacterKind::Font);
        return;
    }
    case 11:
    case 33: {
        const quint16 id = body.u16();
        m_movie.texts.insert(id, readText(body, code == 11 ? 1 : 2, m_movie, m_budget));
        define(id, CharacterKind::Text);
        return;
    }
    case 14: {
        const quint16 id = body.u16();
        m_movie.sounds.insert(id, readSound(body));
        define(id, CharacterKind::Sound);
        return;
    }
    case 39:
        readSprite(body.u16(), body);
        return;
    }
    refuse(unsupportedTag(code));
}

void MovieReader::readSprite(quint16 id, Reader &body)
{
    body.u16(); // the frame count: only a hint
    auto sprite = std::make_shared<Sprite>();
    TimelineState state{sprite->timeline, id, Frame(), false, 0};
    readTimeline(body, state);
    const int nesting = state.childNesting + 1;
    if (nesting > Limits::spriteNesting)
        refuse(QStringLiteral("sprites nested more than %1 deep").arg(Limits::spriteNesting));
    define(id, CharacterKind::Sprite);
    m_spriteNesting.insert(id, nesting);
    m_movie.sprites.insert(id, std::move(sprite));
}

ReadResult notAMovie(const QString &reason)
{
    return ReadResult{ReadResult::Verdict::NotAMovie, nullptr, reason};
}

QByteArray lzmaBody(const QByteArray &file, qsizetype length)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&stream, 96 * 1024 * 1024) != LZMA_OK)
        refuse(QStringLiteral("the LZMA decoder could not start"));
    // The file keeps the LZMA properties but not the size the classic
    // header wants next to them: give the decoder both.
    QByteArray header = file.mid(12, 5);
    for (int i = 0; i < 8; ++i)
        header.append(char((quint64(length) >> (8 * i)) & 0xFF));
    QByteArray out;
    qsizetype produced = 0;
    lzma_ret status = LZMA_OK;
    const std::pair<const char *, qsizetype> inputs[] = {{header.constData(), header.size()},
                                                         {file.constData() + 17, file.size() - 17}};
    for (const auto &[data, size] : inputs) {
        stream.next_in = reinterpret_cast<const uint8_t *>(data);
        stream.avail_in = size_t(size);
        while (status == LZMA_OK && produced < length && stream.avail_in > 0) {
            if (produced == out.size())
                out.resize(qMin<qsizetype>(length, qMax<qsizetype>(out.size() * 2, 64 * 1024)));
            stream.next_out = reinterpret_cast<uint8_t *>(out.data() + produced);
            stream.avail_out = size_t(out.size() - produced);
            status = lzma_code(&stream, LZMA_RUN);
            produced = out.size() - qsizetype(stream.avail_out);
        }
    }
    lzma_end(&stream);
    if (status == LZMA_MEMLIMIT_ERROR)
        refuse(QStringLiteral("the LZMA data needs more memory than the player allows"));
    if (status != LZMA_OK && status != LZMA_STREAM_END)
        refuse(QStringLiteral("the LZMA data is damaged"));
    if (produced < length)
        refuse(QStringLiteral("the LZMA data ends early"));
    out.resize(produced);
    return out;
}

ReadResult readBody(const QByteArray &file, const QByteArray &body, qsizetype offset,
                    qsizetype length)
{
    Reader in(body.constData() + offset, length);
    auto movie = std::make_shared<Movie>();
    movie->version = quint8(file[3]);
    try {
        movie->stage = in.rect();
        const quint16 rate = in.u16();
        movie->frameRate = rate == 0 ? 1.0 : rate / 256.0;
        in.u16(); // the frame count: only a hint
    } catch (const Refusal &) {
        return notAMovie(QStringLiteral("the header is cut short"));
    }
    MovieReader reader(*movie);
    TimelineState root{movie->root, -1, Frame(), false, 0};
    reader.readTimeline(in, root);
    return ReadResult{ReadResult::Verdict::Native, std::move(movie), QString()};
}

ReadResult readChecked(const QByteArray &file)
{
    if (file.size() < 8)
        return notAMovie(QStringLiteral("too short for a Flash movie's header"));
    const QByteArray signature = file.left(3);
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return notAMovie(QStringLiteral("no Flash movie signature"));
    const auto *p = reinterpret_cast<const uchar *>(file.constData());
    const qint64 length =
        qint64(p[4]) | (qint64(p[5]) << 8) | (qint64(p[6]) << 16) | (qint64(p[7]) << 24);
    if (length < 8)
        return notAMovie(QStringLiteral("a header declaring %1 bytes").arg(length));
    if (length > Limits::fileBytes)
        refuse(QStringLiteral("a movie of %1 bytes, more than the player takes").arg(length));
    if (signature == "FWS") {
        if (file.size() < length)
            refuse(QStringLiteral("the file is shorter than its header says"));
        return readBody(file, file, 8, length - 8);
    }
    if (signature == "CWS") {
        const QByteArray body = inflateBounded(file.constData() + 8, file.size() - 8, length - 8,
                                               QStringLiteral("the movie"));
        return readBody(file, body, 0, body.size());
    }
    if (file.size() < 17)
        return notAMovie(QStringLiteral("too short for an LZMA movie's header"));
    const QByteArray body = lzmaBody(file, length - 8);
    return readBody(file, body, 0, body.size());
}

} // namespace

ReadResult readMovie(const QByteArray &file)
{
    try {
        return readChecked(file);
    } catch (const Refusal &refusal) {
        return ReadResult{ReadResult::Verdict::Unsupported, nullptr, refusal.reason};
    } catch (const std::bad_alloc &) {
        return ReadResult{ReadResult::Verdict::Unsupported, nullptr,
                          QStringLiteral("out of memory while reading")};
    }
}

} // namespace swf

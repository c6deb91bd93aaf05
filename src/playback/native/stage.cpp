// SPDX-License-Identifier: GPL-3.0-or-later
#include "stage.h"

#include "avm1.h"
#include "soundsink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace swf {

namespace {

constexpr int maxPath = Limits::spriteNesting + 1;
// The variables of all timelines together: characters of their names and
// string values, each variable counting a few more for itself.
constexpr qint64 maxVariableChars = 4 * 1024 * 1024;
constexpr int variableOverhead = 16;
// Display objects one turn may make. Live objects are bounded on their own;
// this bounds a frame that places and removes big sprites over and over.
constexpr int createsPerTurn = 2 * Limits::displayObjects;
constexpr int maxQueued = Limits::displayObjects;

// Where a display object stands: the depths from the root down to it. A
// sprite's state is kept by its path, which stays the same as long as the
// sprite lives (nothing here moves an object to another depth).
struct Path
{
    std::array<int, maxPath> depths{};
    int size = 0;

    // Only timelines have children, and only within the nesting bound.
    Path child(int depth) const
    {
        Path p = *this;
        p.depths[size_t(p.size++)] = depth;
        return p;
    }
    bool canHoldTimeline() const { return size < maxPath; }
    bool startsWith(const Path &prefix) const
    {
        return prefix.size <= size &&
               std::equal(prefix.depths.begin(), prefix.depths.begin() + prefix.size,
                          depths.begin());
    }
    bool operator<(const Path &other) const
    {
        return std::lexicographical_compare(depths.begin(), depths.begin() + size,
                                            other.depths.begin(),
                                            other.depths.begin() + other.size);
    }
};

// A placement as a frame's commands leave it, before it becomes (or
// updates) a display object.
struct Placement
{
    int depth = 0;
    quint16 characterId = 0;
    QTransform matrix;
    ColorTransform colorTransform;
    quint16 ratio = 0;
    QString name;
    int clipDepth = 0;
    bool fresh = false; // placed by the replayed commands, not carried over
};

struct TimelineState
{
    quint64 serial = 0; // tells a sprite from an earlier one at the same path
    QHash<QString, avm1::Value> variables;
    bool streaming = false;
    int streamFrames = 0; // blocks fed since the stream started
};

struct QueuedFrame
{
    Path path;
    quint64 serial = 0;
    const Timeline *timeline = nullptr;
    int frame = 0;
};

template <typename List> auto atDepth(List &list, int depth)
{
    return std::lower_bound(list.begin(), list.end(), depth,
                            [](const auto &item, int d) { return item.depth < d; });
}

qint64 variableChars(const QString &name, const avm1::Value &value)
{
    const qint64 text = value.type == avm1::Value::Type::String ? value.string.size() : 0;
    return name.size() + text + variableOverhead;
}

int objectCount(const DisplayObject &object)
{
    int count = 1;
    for (const DisplayObject &child : object.children)
        count += objectCount(child);
    return count;
}

void setProperties(DisplayObject &object, const Placement &placement)
{
    object.matrix = placement.matrix;
    object.colorTransform = placement.colorTransform;
    object.ratio = placement.ratio;
    object.name = placement.name;
    object.clipDepth = placement.clipDepth;
}

void update(Placement &placement, const DisplayCommand &command)
{
    if (command.matrix)
        placement.matrix = *command.matrix;
    if (command.colorTransform)
        placement.colorTransform = *command.colorTransform;
    if (command.ratio)
        placement.ratio = *command.ratio;
    if (command.name)
        placement.name = *command.name;
    if (command.clipDepth)
        placement.clipDepth = *command.clipDepth;
}

} // namespace

class StageRunner
{
public:
    explicit StageRunner(Stage &stage) : m_stage(stage), m_movie(*stage.m_movie) {}

    void start();
    void beginTurn();
    void advance(DisplayObject &timeline, const Path &path);
    // A goto on one timeline; returns its cost in the actions' budget.
    int jump(DisplayObject &timeline, const Path &path, int frame, bool play);
    void setPlaying(DisplayObject &timeline, const Path &path, bool playing);
    void stopSounds();
    void stopStream(const Path &path);
    void endStreams();
    void runQueue();
    int framesBehind() const;

    avm1::Value variable(const Path &path, const QString &name) const;
    void setVariable(const Path &path, const QString &name, const avm1::Value &value);
    avm1::Budget &budget() { return m_budget; }

private:
    void enterFirstFrame(DisplayObject &timeline, const Path &path);
    void enterContent(DisplayObject &timeline, const Path &path, int frame);
    int build(DisplayObject &timeline, const Path &path, int frame, bool fromCurrent);
    void apply(std::vector<Placement> &placements, const DisplayCommand &command) const;
    void reconcile(DisplayObject &timeline, const Path &path,
                   const std::vector<Placement> &placements, bool fromCurrent);
    bool create(DisplayObject &object, const Placement &placement, const Path &path);
    void discard(const DisplayObject &object, const Path &path);
    void forget(const Path &prefix);
    void startSounds(const Frame &frame);
    void feedStream(const DisplayObject &timeline, const Path &path, int frame);
    void queueActions(const Path &path, const Timeline *timeline, int frame);
    DisplayObject *find(const Path &path);

    Stage &m_stage;
    const Movie &m_movie;
    // Sprites' own state, by path; a std::map so that each state keeps its
    // address (the owner of its sound stream) while it lives.
    std::map<Path, TimelineState> m_states;
    quint64 m_serial = 0;
    qint64 m_variableChars = 0;
    std::vector<QueuedFrame> m_queue;
    size_t m_queueHead = 0;
    // One list per nesting level: building a frame places sprites whose
    // first frames are built one level down.
    std::array<std::vector<Placement>, maxPath> m_scratch;
    int m_liveObjects = 0;
    int m_creates = createsPerTurn;
    avm1::Budget m_budget;
    avm1::Machine m_machine;
};

namespace {

// The timeline a script acts on.
class TimelineHost : public avm1::Host
{
public:
    TimelineHost(StageRunner &runner, DisplayObject &timeline, const Path &path)
        : m_runner(runner), m_timeline(timeline), m_path(path)
    {
    }

    bool isRoot() const override { return m_path.size == 0; }
    int currentFrame() const override { return m_timeline.currentFrame; }
    int frameCount() const override { return int(m_timeline.timeline->frames.size()); }
    int labelFrame(const QString &label) const override
    {
        const int frame = m_timeline.timeline->labels.value(label.toLower(), -1);
        return frame < frameCount() ? frame : -1;
    }
    void gotoFrame(int frame, bool play) override
    {
        if (frame >= 0 && frame < frameCount())
            m_runner.budget().spend(m_runner.jump(m_timeline, m_path, frame, play));
    }
    void setPlaying(bool playing) override { m_runner.setPlaying(m_timeline, m_path, playing); }
    void stopSounds() override { m_runner.stopSounds(); }
    avm1::Value variable(const QString &name) const override
    {
        return m_runner.variable(m_path, name);
    }
    void setVariable(const QString &name, const avm1::Value &value) override
    {
        m_runner.setVariable(m_path, name, value);
    }

private:
    StageRunner &m_runner;
    DisplayObject &m_timeline;
    const Path &m_path;
};

} // namespace

void StageRunner::start()
{
    beginTurn();
    m_states[Path()];
    enterFirstFrame(m_stage.m_root, Path());
    runQueue();
}

void StageRunner::beginTurn()
{
    m_budget = avm1::Budget();
    m_creates = createsPerTurn;
}

void StageRunner::advance(DisplayObject &timeline, const Path &path)
{
    // Children first: a sprite placed by this timeline's next frame is
    // not among them yet, so it does not move on in the tick it appears.
    for (DisplayObject &child : timeline.children) {
        if (child.timeline)
            advance(child, path.child(child.depth));
    }
    const int count = int(timeline.timeline->frames.size());
    if (!timeline.playing || count <= 1)
        return;
    int next = timeline.currentFrame + 1;
    if (next >= count) {
        if (path.size == 0 && !m_stage.m_looping) {
            setPlaying(timeline, path, false);
            return;
        }
        next = 0;
    }
    build(timeline, path, next, next > timeline.currentFrame);
    timeline.currentFrame = next;
    enterContent(timeline, path, next);
}

int StageRunner::jump(DisplayObject &timeline, const Path &path, int frame, bool play)
{
    if (frame == timeline.currentFrame) {
        setPlaying(timeline, path, play);
        return 1;
    }
    stopStream(path);
    timeline.playing = play;
    const int cost = build(timeline, path, frame, frame > timeline.currentFrame);
    timeline.currentFrame = frame;
    startSounds(timeline.timeline->frames[frame]);
    queueActions(path, timeline.timeline, frame);
    return cost;
}

void StageRunner::setPlaying(DisplayObject &timeline, const Path &path, bool playing)
{
    timeline.playing = playing;
    if (!playing)
        stopStream(path);
}

void StageRunner::stopSounds()
{
    // The streams go silent with the rest; their next blocks start anew.
    endStreams();
    if (m_stage.m_sounds)
        m_stage.m_sounds->stopAllSounds();
}

void StageRunner::enterFirstFrame(DisplayObject &timeline, const Path &path)
{
    timeline.currentFrame = 0;
    timeline.playing = true;
    if (timeline.timeline->frames.isEmpty())
        return;
    build(timeline, path, 0, false);
    enterContent(timeline, path, 0);
}

void StageRunner::enterContent(DisplayObject &timeline, const Path &path, int frame)
{
    startSounds(timeline.timeline->frames[frame]);
    feedStream(timeline, path, frame);
    queueActions(path, timeline.timeline, frame);
}

// Brings the display list to `frame`: from what it shows now through the
// commands of the frames after the current one, or, going back, from nothing
// through the commands of every frame up to it. Returns the work done.
int StageRunner::build(DisplayObject &timeline, const Path &path, int frame, bool fromCurrent)
{
    const QList<Frame> &frames = timeline.timeline->frames;
    const int first = fromCurrent ? timeline.currentFrame + 1 : 0;
    const bool changes = std::any_of(frames.begin() + first, frames.begin() + frame + 1,
                                     [](const Frame &f) { return !f.commands.isEmpty(); });
    if (fromCurrent && !changes)
        return 1;

    std::vector<Placement> &placements = m_scratch[size_t(path.size)];
    placements.clear();
    if (fromCurrent) {
        for (const DisplayObject &child : timeline.children) {
            Placement p{child.depth, child.characterId, child.matrix,    child.colorTransform,
                        child.ratio, child.name,        child.clipDepth, false};
            placements.push_back(std::move(p));
        }
    }
    int work = 1;
    for (int f = first; f <= frame; ++f) {
        for (const DisplayCommand &command : frames[f].commands)
            apply(placements, command);
        work += 1 + int(frames[f].commands.size());
    }
    reconcile(timeline, path, placements, fromCurrent);
    placements.clear();
    return work;
}

void StageRunner::apply(std::vector<Placement> &placements, const DisplayCommand &command) const
{
    const auto it = atDepth(placements, command.depth);
    const bool occupied = it != placements.end() && it->depth == command.depth;
    if (command.kind == DisplayCommand::Kind::Remove) {
        if (occupied)
            placements.erase(it);
        return;
    }
    const bool known = command.characterId && m_movie.kinds.contains(*command.characterId);
    if (!occupied) {
        // A move onto an empty depth that names a character places it.
        if (!known || int(placements.size()) >= Limits::displayObjects)
            return;
        Placement placement;
        placement.depth = command.depth;
        placement.characterId = *command.characterId;
        placement.fresh = true;
        update(placement, command);
        placements.insert(it, std::move(placement));
        return;
    }
    // Flash leaves an occupied depth alone unless the command moves it.
    if (!command.move)
        return;
    if (known && *command.characterId != it->characterId) {
        it->characterId = *command.characterId;
        it->fresh = true;
    }
    update(*it, command);
}

// Makes the display list match the placements: an object carries over when
// its depth and character stay (going on, only if no command placed it anew);
// the rest go, and the new placements become new objects.
void StageRunner::reconcile(DisplayObject &timeline, const Path &path,
                            const std::vector<Placement> &placements, bool fromCurrent)
{
    std::vector<DisplayObject> &children = timeline.children;
    size_t kept = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        DisplayObject &child = children[i];
        const auto p = atDepth(placements, child.depth);
        const bool keep = p != placements.end() && p->depth == child.depth &&
                          p->characterId == child.characterId && !(fromCurrent && p->fresh);
        if (!keep) {
            discard(child, path.child(child.depth));
            continue;
        }
        if (kept != i)
            children[kept] = std::move(child);
        ++kept;
    }
    children.erase(children.begin() + kept, children.end());

    for (const Placement &placement : placements) {
        const auto it = atDepth(children, placement.depth);
        if (it != children.end() && it->depth == placement.depth) {
            setProperties(*it, placement);
            continue;
        }
        DisplayObject made;
        if (create(made, placement, path.child(placement.depth)))
            children.insert(it, std::move(made));
    }
}

bool StageRunner::create(DisplayObject &object, const Placement &placement, const Path &path)
{
    if (m_liveObjects >= Limits::displayObjects || m_creates <= 0)
        return false;
    const auto kind = m_movie.kinds.constFind(placement.characterId);
    if (kind == m_movie.kinds.constEnd())
        return false;
    const Timeline *timeline = nullptr;
    if (*kind == CharacterKind::Sprite) {
        const std::shared_ptr<const Sprite> sprite = m_movie.sprites.value(placement.characterId);
        if (!sprite || !path.canHoldTimeline())
            return false;
        timeline = &sprite->timeline;
    }
    --m_creates;
    ++m_liveObjects;
    object.depth = placement.depth;
    object.characterId = placement.characterId;
    object.kind = *kind;
    setProperties(object, placement);
    object.timeline = timeline;
    if (timeline) {
        m_states[path].serial = ++m_serial;
        enterFirstFrame(object, path);
    }
    return true;
}

void StageRunner::discard(const DisplayObject &object, const Path &path)
{
    m_liveObjects -= objectCount(object);
    if (object.timeline)
        forget(path);
}

// A sprite and everything in it went: their streams end, their variables go,
// and their actions still waiting no longer find them.
void StageRunner::forget(const Path &prefix)
{
    auto it = m_states.lower_bound(prefix);
    while (it != m_states.end() && it->first.startsWith(prefix)) {
        if (it->second.streaming && m_stage.m_sounds)
            m_stage.m_sounds->streamStopped(&it->second);
        for (auto v = it->second.variables.cbegin(); v != it->second.variables.cend(); ++v)
            m_variableChars -= variableChars(v.key(), v.value());
        it = m_states.erase(it);
    }
}

void StageRunner::startSounds(const Frame &frame)
{
    if (!m_stage.m_sounds)
        return;
    for (const SoundStart &start : frame.sounds) {
        const std::shared_ptr<const Sound> sound = m_movie.sounds.value(start.soundId);
        if (sound)
            m_stage.m_sounds->startSound(start.soundId, sound, start);
    }
}

// A stream runs over consecutive frames with blocks; a frame without one
// ends it, so that the next block starts a stream in step with its frame.
void StageRunner::feedStream(const DisplayObject &timeline, const Path &path, int frame)
{
    const std::optional<StreamHead> &head = timeline.timeline->stream;
    if (!head || !m_stage.m_sounds)
        return;
    const std::optional<QByteArray> &block = timeline.timeline->frames[frame].streamBlock;
    if (!block) {
        stopStream(path);
        return;
    }
    TimelineState &state = m_states[path];
    m_stage.m_sounds->streamBlock(&state, *head, *block);
    if (!state.streaming) {
        state.streaming = true;
        state.streamFrames = 0;
    }
    ++state.streamFrames;
}

void StageRunner::stopStream(const Path &path)
{
    const auto it = m_states.find(path);
    if (it == m_states.end() || !it->second.streaming)
        return;
    it->second.streaming = false;
    if (m_stage.m_sounds)
        m_stage.m_sounds->streamStopped(&it->second);
}

void StageRunner::endStreams()
{
    for (auto &[path, state] : m_states) {
        if (state.streaming && m_stage.m_sounds)
            m_stage.m_sounds->streamStopped(&state);
        state.streaming = false;
    }
}

void StageRunner::queueActions(const Path &path, const Timeline *timeline, int frame)
{
    if (timeline->frames[frame].actions.isEmpty() || m_queue.size() - m_queueHead >= maxQueued)
        return;
    const auto state = m_states.find(path);
    const quint64 serial = state == m_states.end() ? 0 : state->second.serial;
    m_queue.push_back(QueuedFrame{path, serial, timeline, frame});
}

void StageRunner::runQueue()
{
    while (m_queueHead < m_queue.size() && !m_budget.exhausted()) {
        const QueuedFrame entry = m_queue[m_queueHead++];
        const auto state = m_states.find(entry.path);
        DisplayObject *timeline = find(entry.path);
        if (state == m_states.end() || state->second.serial != entry.serial || !timeline ||
            timeline->timeline != entry.timeline)
            continue; // its sprite went in the meantime

        // The blocks act on their own timeline only, so it stays where it is
        // while they run.
        TimelineHost host(*this, *timeline, entry.path);
        for (const QByteArray &block : entry.timeline->frames[entry.frame].actions) {
            if (!m_machine.run(block, host, m_movie.version, m_budget))
                break;
        }
    }
    m_queue.clear();
    m_queueHead = 0;
}

DisplayObject *StageRunner::find(const Path &path)
{
    DisplayObject *object = &m_stage.m_root;
    for (int i = 0; i < path.size; ++i) {
        const int depth = path.depths[size_t(i)];
        const auto it = atDepth(object->children, depth);
        if (it == object->children.end() || it->depth != depth)
            return nullptr;
        object = &*it;
    }
    return object;
}

int StageRunner::framesBehind() const
{
    const auto it = m_states.find(Path());
    if (!m_stage.m_sounds || !m_stage.m_root.playing || it == m_states.end() ||
        !it->second.streaming)
        return 0;
    const double heard = m_stage.m_sounds->streamPosition(&it->second);
    if (!(heard >= 0))
        return 0;
    // Block k of the stream is heard while its position is in [k, k + 1);
    // the root shows the frame of the last block fed.
    const int most = std::clamp(int(std::ceil(m_movie.frameRate)), 1, 120);
    const double behind = std::floor(heard) - (it->second.streamFrames - 1);
    return int(std::clamp(behind, 0.0, double(most)));
}

avm1::Value StageRunner::variable(const Path &path, const QString &name) const
{
    const auto it = m_states.find(path);
    return it == m_states.end() ? avm1::Value() : it->second.variables.value(name);
}

void StageRunner::setVariable(const Path &path, const QString &name, const avm1::Value &value)
{
    TimelineState &state = m_states[path];
    const auto old = state.variables.constFind(name);
    const qint64 freed = old == state.variables.cend() ? 0 : variableChars(name, *old);
    const qint64 taken = variableChars(name, value);
    if (m_variableChars - freed + taken > maxVariableChars)
        return; // past the bound the variable keeps its old value
    m_variableChars += taken - freed;
    state.variables.insert(name, value);
}

Stage::Stage(std::shared_ptr<const Movie> movie, SoundSink *sounds)
    : m_movie(movie ? std::move(movie) : std::make_shared<const Movie>()), m_sounds(sounds)
{
    m_root.kind = CharacterKind::Sprite;
    m_root.timeline = &m_movie->root;
    m_runner = std::make_unique<StageRunner>(*this);
    m_runner->start();
}

Stage::~Stage()
{
    m_runner->endStreams();
}

void Stage::advance()
{
    m_runner->beginTurn();
    m_runner->advance(m_root, Path());
    m_runner->runQueue();
}

int Stage::framesBehind() const
{
    return m_runner->framesBehind();
}

bool Stage::isPlaying() const
{
    return m_root.playing;
}

void Stage::play()
{
    m_root.playing = true;
}

void Stage::stop()
{
    m_runner->setPlaying(m_root, Path(), false);
}

void Stage::rewind()
{
    gotoFrame(0, false);
    m_runner->stopSounds();
}

void Stage::stepForward()
{
    if (currentFrame() + 1 < frameCount())
        gotoFrame(currentFrame() + 1, false);
    else
        stop();
}

void Stage::stepBack()
{
    if (currentFrame() > 0)
        gotoFrame(currentFrame() - 1, false);
    else
        stop();
}

void Stage::gotoFrame(int frame, bool play)
{
    if (frameCount() == 0)
        return;
    m_runner->beginTurn();
    m_runner->jump(m_root, Path(), std::clamp(frame, 0, frameCount() - 1), play);
    m_runner->runQueue();
}

int Stage::frameCount() const
{
    return int(m_movie->root.frames.size());
}

} // namespace swf

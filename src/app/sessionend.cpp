// SPDX-License-Identifier: GPL-3.0-or-later
#include "sessionend.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The session ending, and Ctrl+C in the terminal the program was started
// from: each saves the character as closing the window does.
constexpr int endingSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler may only write to a socket; the event loop reads it.
int signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

SessionEndWatcher::SessionEndWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto read = ::read(signalSockets[1], &byte, 1);
        Q_EMIT sessionEnding();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : endingSignals)
        ::sigaction(number, &action, nullptr);
}

SessionEndWatcher::~SessionEndWatcher()
{
    if (!m_notifier)
        return;
    for (int number : endingSignals)
        ::signal(number, SIG_DFL);
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}
#else
// Elsewhere the window system closes the window at logout, which runs the
// ordinary close.
SessionEndWatcher::SessionEndWatcher(QObject *parent) : QObject(parent)
{
}
SessionEndWatcher::~SessionEndWatcher() = default;
#endif

// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerscheme.h"

#include "playerfiles.h"

#include <QIODevice>
#include <QWebEngineUrlRequestJob>

PlayerSchemeHandler::PlayerSchemeHandler(const PlayerFiles *files, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent), m_files(files)
{
}

void PlayerSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    if (job->requestMethod() != QByteArrayLiteral("GET")) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    QByteArray mimeType;
    std::unique_ptr<QIODevice> device = m_files->open(job->requestUrl(), &mimeType);
    if (!device) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job reads the device after this returns, and may outlive the
    // handler's interest in it, so the device goes when the job goes.
    QIODevice *reply = device.release();
    connect(job, &QObject::destroyed, reply, &QObject::deleteLater);
    job->reply(mimeType, reply);
}

PlayerRequestGuard::PlayerRequestGuard(QObject *parent) : QWebEngineUrlRequestInterceptor(parent)
{
}

void PlayerRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (info.requestUrl().scheme() != QLatin1String(PlayerFiles::scheme()))
        info.block(true);
}

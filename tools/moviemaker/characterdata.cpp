// SPDX-License-Identifier: GPL-3.0-or-later
#include "characterdata.h"
#include "makererror.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

MakerError badData(const QString &character, const QString &why)
{
    return MakerError(QStringLiteral("The stroke data of %1 is damaged: %2").arg(character, why));
}

QPolygonF parseMedian(const QJsonArray &points)
{
    QPolygonF median;
    for (const QJsonValue &value : points) {
        const QJsonArray point = value.toArray();
        if (point.size() != 2 || !point[0].isDouble() || !point[1].isDouble())
            return QPolygonF();
        median.append(fromDataCoordinates(point[0].toDouble(), point[1].toDouble()));
    }
    return median;
}

} // namespace

QPointF fromDataCoordinates(double x, double y)
{
    return QPointF(x, 900.0 - y);
}

QPainterPath parseStrokePath(const QString &svgPath)
{
    static const QRegularExpression token(QStringLiteral("[A-Za-z]|-?[0-9]*\\.?[0-9]+"));
    QStringList tokens;
    QRegularExpressionMatchIterator it = token.globalMatch(svgPath);
    while (it.hasNext())
        tokens.append(it.next().captured());

    QPainterPath path;
    int i = 0;
    const auto point = [&]() {
        if (i + 1 >= tokens.size())
            throw MakerError(QStringLiteral("a stroke outline ends in the middle of a point"));
        bool okX = false;
        bool okY = false;
        const double x = tokens[i].toDouble(&okX);
        const double y = tokens[i + 1].toDouble(&okY);
        if (!okX || !okY)
            throw MakerError(QStringLiteral("a stroke outline has a bad number"));
        i += 2;
        return fromDataCoordinates(x, y);
    };
    while (i < tokens.size()) {
        const QString command = tokens[i++];
        if (command == QLatin1String("M")) {
            path.moveTo(point());
        } else if (command == QLatin1String("L")) {
            path.lineTo(point());
        } else if (command == QLatin1String("Q")) {
            const QPointF control = point();
            path.quadTo(control, point());
        } else if (command == QLatin1String("C")) {
            const QPointF c1 = point();
            const QPointF c2 = point();
            path.cubicTo(c1, c2, point());
        } else if (command == QLatin1String("Z")) {
            path.closeSubpath();
        } else {
            throw MakerError(
                QStringLiteral("a stroke outline has the unknown command '%1'").arg(command));
        }
    }
    return path;
}

bool isSingleCharacter(const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() != 1 || codePoints.first() < 0x2E80) // below: Latin, symbols, ...
        return false;
    const QChar::Category category = QChar::category(codePoints.first());
    // Han characters are letters, radicals symbols, 〇 a letter-like number.
    return QChar::isLetter(codePoints.first()) || category == QChar::Symbol_Other ||
           category == QChar::Number_Letter;
}

QString characterFile(const QString &dataDir, const QString &character)
{
    return dataDir + QLatin1Char('/') + character + QStringLiteral(".json");
}

CharacterData loadCharacter(const QString &dataDir, const QString &character)
{
    if (!isSingleCharacter(character))
        throw MakerError(QStringLiteral("'%1' is not a single Chinese character").arg(character));
    QFile file(characterFile(dataDir, character));
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(
            QStringLiteral("%1 is not in the stroke data (%2)").arg(character, dataDir));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw badData(character, parseError.errorString());
    const QJsonArray strokes = document.object().value(QStringLiteral("strokes")).toArray();
    const QJsonArray medians = document.object().value(QStringLiteral("medians")).toArray();
    if (strokes.isEmpty() || strokes.size() != medians.size())
        throw badData(character, QStringLiteral("strokes and centre lines do not match"));

    CharacterData data;
    data.character = character;
    for (int i = 0; i < strokes.size(); ++i) {
        try {
            data.strokes.append(parseStrokePath(strokes[i].toString()));
        } catch (const MakerError &error) {
            throw badData(character, error.message());
        }
        const QPolygonF median = parseMedian(medians[i].toArray());
        if (median.isEmpty() || data.strokes.last().isEmpty())
            throw badData(character, QStringLiteral("stroke %1 is empty").arg(i + 1));
        data.medians.append(median);
    }
    return data;
}

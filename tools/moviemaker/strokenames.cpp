// SPDX-License-Identifier: GPL-3.0-or-later
#include "strokenames.h"
#include "makererror.h"
#include "strokeshape.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

// The data's stroke letters whose name is one standard stroke type. The
// others stand for two types each (see decideLetter), and o for 横斜钩 or
// 横折弯钩, which its centre line cannot tell apart: the Kai outlines bend
// 气's ⺄ as roundly as 九's 乙.
QString letterName(QChar letter)
{
    static const QHash<QChar, QString> names{
        {QLatin1Char('j'), QStringLiteral("横")},
        {QLatin1Char('f'), QStringLiteral("竖")},
        {QLatin1Char('s'), QStringLiteral("撇")},
        {QLatin1Char('l'), QStringLiteral("捺")},
        {QLatin1Char('k'), QStringLiteral("点")},
        {QLatin1Char('d'), QStringLiteral("点")},
        {QLatin1Char('i'), QStringLiteral("提")},
        {QLatin1Char('c'), QStringLiteral("横折")},
        {QLatin1Char('r'), QStringLiteral("横折钩")},
        {QLatin1Char('g'), QStringLiteral("竖钩")},
        {QLatin1Char('n'), QStringLiteral("撇折")},
        {QLatin1Char('u'), QStringLiteral("竖弯钩")},
        {QLatin1Char('h'), QStringLiteral("竖提")},
        {QLatin1Char('a'), QStringLiteral("横折折撇")},
        {QLatin1Char('p'), QStringLiteral("横折提")},
        {QLatin1Char('t'), QStringLiteral("弯钩")},
        {QLatin1Char('m'), QStringLiteral("撇点")},
        {QLatin1Char('z'), QStringLiteral("竖折折钩")},
        {QLatin1Char('q'), QStringLiteral("横折折折")},
    };
    return names.value(letter);
}

// The two types each shared letter stands for.
QStringList candidatesOf(QChar letter)
{
    static const QHash<QChar, QStringList> candidates{
        {QLatin1Char('e'), {QStringLiteral("横撇"), QStringLiteral("横钩")}},
        {QLatin1Char('y'), {QStringLiteral("斜钩"), QStringLiteral("卧钩")}},
        {QLatin1Char('v'), {QStringLiteral("横折折"), QStringLiteral("横折弯")}},
        {QLatin1Char('x'), {QStringLiteral("竖折撇"), QStringLiteral("竖折折")}},
        {QLatin1Char('w'), {QStringLiteral("横折折折钩"), QStringLiteral("横撇弯钩")}},
        {QLatin1Char('b'), {QStringLiteral("竖弯"), QStringLiteral("竖折")}},
        {QLatin1Char('o'), {QStringLiteral("横斜钩"), QStringLiteral("横折弯钩")}},
    };
    return candidates.value(letter);
}

QByteArray readAll(const QString &fileName, const QString &what)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read the %1 %2").arg(what, fileName));
    return file.readAll();
}

} // namespace

QHash<QString, QStringList> readNameTable(const QString &fileName, QStringList &order)
{
    const QString text = QString::fromUtf8(readAll(fileName, QStringLiteral("stroke-name table")));
    QHash<QString, QStringList> table;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString character = words.takeFirst();
        if (character.size() != 1 || words.isEmpty() || table.contains(character))
            throw MakerError(QStringLiteral("%1 line %2: not \"<character> <stroke names...>\", "
                                            "or the character is there twice")
                                 .arg(fileName)
                                 .arg(i + 1));
        table.insert(character, words);
        order.append(character);
    }
    return table;
}

StrokeNames::StrokeNames(const QString &orderScript, const QString &decomposition,
                         const QString &checkedTable)
{
    // The script embeds its tables as JSON.parse('{...}'); the first one maps
    // each character to its stroke letters.
    const QByteArray script = readAll(orderScript, QStringLiteral("stroke names"));
    const QByteArray opening("JSON.parse('");
    const qsizetype start = script.indexOf(opening);
    const qsizetype end = script.indexOf("')", start);
    QJsonParseError error{};
    const QJsonObject table =
        start < 0 || end < 0
            ? QJsonObject()
            : QJsonDocument::fromJson(
                  script.mid(start + opening.size(), end - start - opening.size()), &error)
                  .object();
    if (error.error != QJsonParseError::NoError || table.isEmpty())
        throw MakerError(
            QStringLiteral("The stroke names %1 are not in the expected form").arg(orderScript));
    for (auto it = table.begin(); it != table.end(); ++it)
        m_types.insert(it.key(), it.value().toString());
    if (!decomposition.isEmpty())
        readDecomposition(decomposition);
    if (!checkedTable.isEmpty())
        m_checked = readNameTable(checkedTable, m_checkedOrder);
}

// Lines "<character>:<how>(<part>,<part>...)"; parts are characters, stroke
// shapes or numbers standing for unnamed components.
void StrokeNames::readDecomposition(const QString &fileName)
{
    const QString text = QString::fromUtf8(readAll(fileName, QStringLiteral("decompositions")));
    static const QRegularExpression line(QStringLiteral("^([^:\\n]+):[^(\\n]*\\(([^)\\n]*)\\)$"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        m_parts.insert(match.captured(1), match.captured(2).split(QLatin1Char(',')));
    }
    if (m_parts.isEmpty())
        throw MakerError(
            QStringLiteral("The decompositions %1 are not in the expected form").arg(fileName));
}

// Whether character is built of one of parts, at any depth.
bool StrokeNames::hasPart(const QString &character, const QStringList &parts) const
{
    QStringList pending{character};
    QSet<QString> seen;
    while (!pending.isEmpty()) {
        const QString part = pending.takeLast();
        if (parts.contains(part))
            return true;
        // Stroke shapes (U+31C0..U+31EF) are not taken apart: the list
        // spells 几's and 卂's bends alike as ㇠.
        const bool strokeShape =
            part.size() == 1 && part[0].unicode() >= 0x31C0 && part[0].unicode() <= 0x31EF;
        if (!strokeShape && !seen.contains(part)) {
            seen.insert(part);
            pending.append(m_parts.value(part));
        }
    }
    return false;
}

QString StrokeNames::nameOf(const QString &character, const QString &types, int index,
                            const QPolygonF &median, NamedBy &namedBy) const
{
    const QChar letter = types[index];
    namedBy = NamedBy::DataLetter;
    const QString named = letterName(letter);
    if (!named.isEmpty())
        return named;
    if (!m_parts.isEmpty()) {
        namedBy = NamedBy::Components;
        // 横斜钩 is the stroke of ⺄ (飞 气 风 and what is built of them); 九
        // 几 乙 and the rest bend through 横折弯钩. The list spells 风 as 几
        // and 乂, so these count by themselves before their parts do.
        static const QStringList slanted{QStringLiteral("⺄"), QStringLiteral("卂"),
                                         QStringLiteral("风"), QStringLiteral("凤"),
                                         QStringLiteral("飞"), QStringLiteral("气")};
        if (letter == QLatin1Char('o'))
            return hasPart(character, slanted) ? QStringLiteral("横斜钩")
                                               : QStringLiteral("横折弯钩");
        // 饣 flicks a 横钩 that its Kai outline sweeps out as far as a 横撇.
        if (letter == QLatin1Char('e') && index == 1 && types.startsWith(QLatin1String("seh")) &&
            hasPart(character, {QStringLiteral("饣")}))
            return QStringLiteral("横钩");
    }
    namedBy = NamedBy::CentreLine;
    const QString decided = decideLetter(letter, median);
    if (!decided.isEmpty())
        return decided;
    const QString shaped = nameByShape(shapeOf(median), median);
    if (shaped.isEmpty())
        namedBy = NamedBy::Nothing;
    return shaped;
}

QList<StrokeName> StrokeNames::explain(const QString &character,
                                       const QList<QPolygonF> &medians) const
{
    QString types = m_types.value(character);
    // Without letters for every stroke, each stroke's shape alone decides.
    if (!medians.isEmpty() && types.size() != medians.size())
        types = QString(medians.size(), QLatin1Char('?'));
    const QStringList checkedNames = m_checked.value(character);
    QList<StrokeName> names;
    for (int i = 0; i < types.size(); ++i) {
        const QPolygonF median = i < medians.size() ? medians[i] : QPolygonF();
        StrokeName stroke;
        stroke.name = nameOf(character, types, i, median, stroke.namedBy);
        // The table corrects a name only where the data's letter or the
        // stroke's own shape allows it, so a table line that is off by a
        // stroke cannot rename the whole character.
        if (checkedNames.size() == types.size() && checkedNames[i] != stroke.name &&
            (candidatesOf(types[i]).contains(checkedNames[i]) ||
             plausibleNames(shapeOf(median), median).contains(checkedNames[i]))) {
            stroke.name = checkedNames[i];
            stroke.namedBy = NamedBy::CheckedTable;
        }
        names.append(stroke);
    }
    return names;
}

QStringList StrokeNames::names(const QString &character, const QList<QPolygonF> &medians) const
{
    QStringList names;
    for (const StrokeName &stroke : explain(character, medians))
        names.append(stroke.name);
    return names;
}

QStringList StrokeNames::checked(const QString &character) const
{
    return m_checked.value(character);
}

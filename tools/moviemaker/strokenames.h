// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STROKENAMES_H
#define ZORVINA_STROKENAMES_H

#include <QHash>
#include <QList>
#include <QPolygonF>
#include <QSet>
#include <QString>
#include <QStringList>

// How a stroke got its name, for --explain.
enum class NamedBy {
    DataLetter,   // the stroke data's letter names one stroke type
    CentreLine,   // the letter stands for two types (or is missing): the shape chose
    Components,   // 横斜钩 or 横折弯钩: which parts the character is made of chose
    CheckedTable, // the hand-checked table corrected the data
    Nothing,
};

struct StrokeName
{
    QString name; // empty when nothing could name the stroke
    NamedBy namedBy = NamedBy::Nothing;
};

// The standard names of a character's strokes (横, 竖, 横折钩...), from the
// stroke-type letters of the npm package cnchar-order, decided by the
// strokes' centre lines where a letter stands for two types, and corrected
// by the hand-checked table where the data's letter is plainly wrong.
class StrokeNames
{
public:
    // orderScript is cnchar-order's script, which carries its data as JSON;
    // decomposition the hanzi package's cjk-decomp list (optional: without
    // it 横斜钩 is never told from 横折弯钩); checkedTable the hand-checked
    // names (optional). Throws MakerError when a given file is missing or
    // not in the expected form.
    explicit StrokeNames(const QString &orderScript, const QString &decomposition = QString(),
                         const QString &checkedTable = QString());

    // One name per stroke in writing order, or an empty list when the data
    // lacks the character and no centre lines are given.
    QList<StrokeName> explain(const QString &character, const QList<QPolygonF> &medians = {}) const;
    QStringList names(const QString &character, const QList<QPolygonF> &medians = {}) const;

    // The hand-checked names of a character, empty when it is not in the table.
    QStringList checked(const QString &character) const;
    // The characters of the hand-checked table, in its order.
    QStringList checkedCharacters() const { return m_checkedOrder; }

private:
    QString nameOf(const QString &character, const QString &types, int index,
                   const QPolygonF &median, NamedBy &namedBy) const;
    bool hasPart(const QString &character, const QStringList &parts) const;
    void readDecomposition(const QString &fileName);
    void readCheckedTable(const QString &fileName);

    QHash<QString, QString> m_types;     // character -> one letter per stroke
    QHash<QString, QStringList> m_parts; // character -> its components
    QHash<QString, QStringList> m_checked;
    QStringList m_checkedOrder;
};

// Reads a table of names: "<character> <name> <name>..." a line, # comments.
// Throws MakerError for a line that is not in that form.
QHash<QString, QStringList> readNameTable(const QString &fileName, QStringList &order);

#endif

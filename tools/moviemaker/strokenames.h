#ifndef ZORVINA_STROKENAMES_H
#define ZORVINA_STROKENAMES_H

#include <QHash>
#include <QList>
#include <QPolygonF>
#include <QString>
#include <QStringList>

// The standard names of a character's strokes (横, 竖, 横折钩...), from the
// stroke-type sequences of the npm package cnchar-order.
class StrokeNames
{
public:
    // Reads the package's script, which carries its data as JSON. Throws
    // MakerError when the file is missing or not in the expected form.
    explicit StrokeNames(const QString &orderScript);

    // One name per stroke in writing order, or an empty list when the
    // character is not in the data. Where the data's stroke type stands for
    // two standard types (横撇 and 横钩 share one letter) the stroke's centre
    // line decides when it clearly can; otherwise the name is empty and the
    // movie shows only the count rather than risk a wrong name.
    QStringList names(const QString &character, const QList<QPolygonF> &medians = {}) const;

private:
    QHash<QString, QString> m_types; // character -> one letter per stroke
};

#endif

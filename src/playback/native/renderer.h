// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_RENDERER_H
#define ZORVINA_RENDERER_H

// Draws a display list with QPainter: shapes, morph shapes, bitmaps and text,
// through matrices, colour transforms and clip-depth masks. Paths made from
// a movie's shapes are kept for the next frame.

#include "displaylist.h"

#include <memory>

class QPainter;

namespace swf {

class Renderer
{
public:
    explicit Renderer(std::shared_ptr<const Movie> movie);
    ~Renderer();

    // Draws the children of root with toDevice mapping the movie's twips
    // to the painter's device. Does not fill the background.
    void paint(QPainter &painter, const DisplayObject &root, const QTransform &toDevice);

    // Flash's high quality, the default: edges antialiased, bitmaps smoothed
    // where the movie asks for it. Low quality does neither: a pixel is
    // filled, whole, when its centre lies inside an outline.
    void setHighQuality(bool high) { m_highQuality = high; }
    bool highQuality() const { return m_highQuality; }

    // The transform that shows the whole stage inside area, centred and
    // as large as fits ("show all").
    static QTransform showAll(const QRectF &stageTwips, const QRectF &area);

private:
    struct Cache;
    struct Painting;
    std::shared_ptr<const Movie> m_movie;
    std::unique_ptr<Cache> m_cache;
    bool m_highQuality = true;
};

} // namespace swf

#endif

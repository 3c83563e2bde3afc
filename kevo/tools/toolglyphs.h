// Tool-bar glyphs of the tool windows: the main window's image lists (normal, highlighted,
// disabled) where they hold the glyph, else the style's standard pixmap. GUI thread only.
#pragma once

#include <QIcon>
#include <QStyle>

#include <functional>

class QAction;
class QToolBar;

QIcon toolGlyph(int index, QStyle::StandardPixmap fallback);
// A tool-bar button with a glyph and a hint; its handler runs guarded: an exception goes to
// the event loop's error box, as one leaving any event handler does.
QAction* toolButton(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                    std::function<void()> handler);

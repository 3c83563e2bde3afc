// Tool-bar glyphs of the tool windows: the main window's image lists (normal, highlighted,
// disabled) where they hold the glyph, else the given one. GUI thread only.
#pragma once

#include <QIcon>
#include <QStyle>

#include <functional>

class QAction;
class QToolBar;

QIcon toolGlyph(int index, const QIcon& fallback);
// A standard glyph of the style.
QIcon styleGlyph(QStyle::StandardPixmap which);
// The help button's glyph, drawn here.
QIcon helpGlyph();
// A tool-bar button with a glyph and a hint; its handler runs guarded: an exception goes to
// the event loop's error box, as one leaving any event handler does.
QAction* toolButton(QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                    std::function<void()> handler);

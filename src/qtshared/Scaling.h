// Enlargement of a window's contents on tall screens: factor k is the screen height
// divided by 600 in whole numbers (1 up to 1199 pixels, 2 from 1200, ...). Contents and
// window grow together, once.
#pragma once

class QScreen;
class QWidget;

int tallScreenFactor(int screenHeight);

// The screen that shows the widget, else the primary screen; nullptr when there is none.
const QScreen* screenOf(const QWidget* widget);

// `screenHeight` when it is given (above 0, as tests give it), else the height of the
// screen the window opens on (0 without a screen).
int windowScreenHeight(const QWidget* window, int screenHeight);

// Multiplies by k the fonts, the fixed and limiting sizes, the positions of widgets placed
// by hand, the layouts' margins and spacing and the splitters' handles of root and every
// widget inside it (pop-up windows excepted). The window's own size and the sizes of the
// panes of a splitter are the caller's.
void scaleWidgets(QWidget* root, int k);

#pragma once
// The typefaces of the instrument panel, with free stand-ins from Debian where
// the classic faces are not installed.

#include <QFont>

namespace tavelin {

// "MS Sans Serif" 7.8 pt for the widgets' texts and scales. Loaded from the
// look-alike in fonts-wine when fontconfig does not know the family, else a
// free sans (Liberation Sans, DejaVu Sans). That face is drawn at one pixel
// size only, so under high-DPI scaling (a device pixel ratio other than 1) the
// free sans of about the same width takes its place.
QFont instrumentFont();
QFont instrumentFont(qreal devicePixelRatio);

// The same face in bold, for the captions of the readout frames.
QFont frameCaptionFont();

// "Haettenschweiler" 18 pt for the numeric readouts; where it is absent, the
// heavy condensed DejaVu Sans Condensed Bold from fonts-dejavu-extra.
QFont readoutFont();

} // namespace tavelin

#pragma once
// Install functions of the window's domains that need the whole window (its chart, fonts,
// settings and dialogs), not only the command map. Each lives in its own file and is
// called once from TfmChart::createDialogs, after the dialogs of the earlier domains.
#include <QString>

#include "io/SessionFile.h"

namespace tarvik::app {

class TfmChart;

void installAppearanceActions(TfmChart& window);  // AppearanceActions.cpp
void installPictureActions(TfmChart& window);     // PictureActions.cpp
void installTableActions(TfmChart& window);       // TableActions.cpp
void installSynthActions(TfmChart& window);       // SynthActions.cpp
void installSensorActions(TfmChart& window);      // SensorActions.cpp
void installRecentFiles(TfmChart& window);        // RecentFiles.cpp
void installAssociationActions(TfmChart& window);  // AssociationActions.cpp
void installSessionActions(TfmChart& window);      // SessionActions.cpp
void installUndoActions(TfmChart& window);         // UndoActions.cpp

// The caption of the undo step that the element `objectName` makes ("Умножение по Y"
// for `MulY`); empty for elements whose command is never a step (undo, redo, saving).
QString stepCaption(TfmChart& window, const QString& objectName);

// What a session keeps of the window beyond the document: the axes' modes and ranges,
// the log switches and the seven chart fonts (SessionActions.cpp).
SessionView sessionViewOf(TfmChart& window);
// Replaces the document with the session's (through the store, so the chart, legend,
// indicator and menus follow) and gives the chart the session's axes, log switches and
// fonts. A log switch the data cannot take stays off.
void applySession(TfmChart& window, const Session& session);

}  // namespace tarvik::app

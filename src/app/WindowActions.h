#pragma once
// Install functions of the window's domains that need the whole window (its chart, fonts,
// settings and dialogs), not only the command map. Each lives in its own file and is
// called once from TfmChart::createDialogs, after the dialogs of the earlier domains.
namespace tarvik::app {

class TfmChart;

void installAppearanceActions(TfmChart& window);  // AppearanceActions.cpp
void installPictureActions(TfmChart& window);     // PictureActions.cpp
void installTableActions(TfmChart& window);       // TableActions.cpp
void installSynthActions(TfmChart& window);       // SynthActions.cpp
void installSensorActions(TfmChart& window);      // SensorActions.cpp
void installRecentFiles(TfmChart& window);        // RecentFiles.cpp
void installAssociationActions(TfmChart& window);  // AssociationActions.cpp

}  // namespace tarvik::app

#pragma once
// The batch runner's picture commands: `picture` (the chart drawn offscreen into a .bmp,
// .png, .svg or .pdf file) and `print-pdf` (the print path onto a PDF printer). Drawing
// needs the window's chart, so a build without the window registers the same commands with
// an error saying so.
namespace tarvik::batch {

class BatchRegistry;

void registerPictureCommands(BatchRegistry& registry);

}  // namespace tarvik::batch

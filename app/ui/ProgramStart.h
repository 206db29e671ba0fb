#pragma once

#include <QString>

namespace quirtle {

// The directory of the running program, with its trailing '/'. Every file the editor
// reads (script.cfg, index.html, EDITOR, manual.chm, LICENSE.TXT, script/) is taken from
// there, never from the working directory.
QString ProgramDirectory();

// Settings that must be made before the application object exists: Qt WebEngine's
// sandbox cannot run as root, so it is switched off in that case only.
void PrepareWebEngine();

}  // namespace quirtle

#pragma once

#include <QString>

namespace vex::runtime {

// Why what stands at path cannot be trusted to be what its owner put there, or empty when it
// can: the file (when it exists) and every folder on the way to it, through any symbolic link
// on the way and the folder that holds each such link, belong to the user running the program
// or to root, and none of them can be written by anyone else. A folder that others may write to
// but whose sticky bit is set (/tmp) is allowed: nobody else can remove or rename what is in it.
// A file that does not exist is judged by the folders that would hold it, since whoever controls
// them can take a file away as well as put one there. The reason names the path it is about.
QString WhyNotTrusted(const QString& path);

} // namespace vex::runtime

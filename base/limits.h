#pragma once

#include <QtGlobal>

namespace vesk
{

// The largest configuration file the editor opens. Real files are a few
// kilobytes; the limit keeps a wrong path (a disk image, say) from eating
// the machine. The reader refuses larger files and the writer never makes
// one, so that what it saves it can open again.
inline constexpr qint64 kMaxConfigBytes = qint64(64) * 1024 * 1024;

} // namespace vesk

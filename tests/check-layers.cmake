# Each folder includes only what its layer may see:
#   base/      base/ alone
#   config/    the grammar: base/ and config/; no system file calls
#   store/     where the bytes live: base/ and store/; never the grammar
#   document/  the core above both: base/, config/, store/, document/
#   window/, categories/  the document, never the store itself
#   cli/       the core, never a window
# and nothing of the core includes a Qt GUI header.
set(posix "#include <(unistd|fcntl|dirent|pwd|grp|sys/[a-z]+)\\.h>")
set(gui "#include <Qt(Gui|Widgets)|#include <Q(Widget|Application|GuiApplication|Pixmap|Icon|Font)>")
set(rules
  "base|#include \"(config|store|document|window|toolkit|categories|cli)/|${posix}|${gui}"
  "config|#include \"(store|document|window|toolkit|categories|cli)/|${posix}|${gui}"
  "store|#include \"(config|document|window|toolkit|categories|cli)/|${gui}"
  "document|#include \"(window|toolkit|categories|cli)/|${gui}"
  "window|#include \"store/"
  "categories|#include \"store/"
  "cli|#include \"(window|toolkit|categories)/|${gui}")
set(bad "")
foreach(rule ${rules})
  string(FIND "${rule}" "|" bar)
  string(SUBSTRING "${rule}" 0 ${bar} folder)
  math(EXPR from "${bar} + 1")
  string(SUBSTRING "${rule}" ${from} -1 forbidden)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^#include")
    foreach(line ${includes})
      if(line MATCHES "${forbidden}")
        list(APPEND bad "${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "A layer reaches where it may not:\n  ${text}")
endif()

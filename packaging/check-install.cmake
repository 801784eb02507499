# Installs the build into a scratch DESTDIR with prefix /usr, as a package
# would, and checks the tree that results.
# cmake -DBUILD_DIR=<build folder> -DDEST=<scratch folder> -P check-install.cmake
cmake_minimum_required(VERSION 3.25)

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

file(REMOVE_RECURSE "${DEST}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${DEST}" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(root "${DEST}/usr")
set(icons share/icons/hicolor)
set(png_sizes 16 24 32 48 64 128 256)
set(expected
  bin/veskfrontend
  share/applications/veskfrontend.desktop
  share/doc/veskfrontend/changelog.gz
  share/doc/veskfrontend/copyright
  share/man/man1/veskfrontend.1.gz
  share/metainfo/org.example.veskfrontend.metainfo.xml
  ${icons}/scalable/apps/veskfrontend.svg
  bin/veskcfg
  share/bash-completion/completions/veskcfg
  share/doc/veskcfg/changelog.gz
  share/doc/veskcfg/copyright
  share/man/man1/veskcfg.1.gz
  share/ansible/collections/ansible_collections/vesk/tracker/README.md
  share/ansible/collections/ansible_collections/vesk/tracker/galaxy.yml
  share/ansible/collections/ansible_collections/vesk/tracker/meta/runtime.yml
  share/ansible/collections/ansible_collections/vesk/tracker/plugins/modules/vesk_config.py)
foreach(size ${png_sizes})
  list(APPEND expected ${icons}/${size}x${size}/apps/veskfrontend.png)
endforeach()

# Exactly these files, nothing missing and nothing stray (a test program or
# a static library installed by mistake would ship in the package).
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${root}" "${DEST}/*")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n    " got "${installed}")
  string(REPLACE ";" "\n    " want "${expected}")
  fail("installed files differ.\n   got:\n    ${got}\n   expected:\n    ${want}")
endif()

execute_process(COMMAND test -x "${root}/bin/veskfrontend" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("bin/veskfrontend is not executable")
endif()
# An installed program must not look for libraries in the build folder.
find_program(READELF readelf)
if(READELF AND EXISTS "${root}/bin/veskfrontend")
  execute_process(COMMAND "${READELF}" -d "${root}/bin/veskfrontend" OUTPUT_VARIABLE dyn)
  if(dyn MATCHES "R(UN)?PATH")
    fail("bin/veskfrontend carries a library search path:\n${dyn}")
  endif()
endif()

# veskcfg runs where there is no display: Qt's core library, none of its
# GUI ones, and no library search path either.
execute_process(COMMAND test -x "${root}/bin/veskcfg" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("bin/veskcfg is not executable")
endif()
if(READELF AND EXISTS "${root}/bin/veskcfg")
  execute_process(COMMAND "${READELF}" -d "${root}/bin/veskcfg" OUTPUT_VARIABLE dyn)
  if(NOT dyn MATCHES "libQt6Core" OR dyn MATCHES "libQt6(Gui|Widgets|OpenGL|DBus)" OR dyn MATCHES "R(UN)?PATH")
    fail("bin/veskcfg must need Qt6Core alone and carry no library search path:\n${dyn}")
  endif()
endif()
if(EXISTS "${root}/share/bash-completion/completions/veskcfg")
  file(READ "${root}/share/bash-completion/completions/veskcfg" completion)
  if(NOT completion MATCHES "complete -F _veskcfg veskcfg")
    fail("the bash completion does not complete veskcfg")
  endif()
endif()

# The desktop entry starts the installed program by name, with the file it
# is asked to open, and its icon.
if(EXISTS "${root}/share/applications/veskfrontend.desktop")
  file(STRINGS "${root}/share/applications/veskfrontend.desktop" entry)
  foreach(line "Exec=veskfrontend %f" "Icon=veskfrontend" "Type=Application")
    if(NOT line IN_LIST entry)
      fail("the desktop entry lacks ${line}")
    endif()
  endforeach()
  list(FILTER entry INCLUDE REGEX "^Categories=")
  if(NOT entry MATCHES "Settings;" OR NOT entry MATCHES "Network;")
    fail("the desktop entry's categories lack Settings or Network: ${entry}")
  endif()
endif()

# The metainfo names the desktop entry that is installed, and its id is its
# file name.
set(metainfo "${root}/share/metainfo/org.example.veskfrontend.metainfo.xml")
if(EXISTS "${metainfo}")
  file(READ "${metainfo}" xml)
  if(NOT xml MATCHES "<id>org\\.example\\.veskfrontend</id>")
    fail("the metainfo's id does not match its file name")
  endif()
  if(NOT xml MATCHES "<launchable type=\"desktop-id\">veskfrontend\\.desktop</launchable>")
    fail("the metainfo does not launch veskfrontend.desktop")
  endif()
  if(NOT xml MATCHES "<screenshot type=\"default\">")
    fail("the metainfo has no default screenshot")
  endif()
endif()

if(EXISTS "${root}/${icons}/scalable/apps/veskfrontend.svg")
  file(READ "${root}/${icons}/scalable/apps/veskfrontend.svg" svg)
  if(NOT svg MATCHES "<svg[^>]*viewBox=\"0 0 256 256\"")
    fail("the scalable icon is not a square SVG drawing")
  endif()
endif()

# Each fixed-size icon is a PNG of the size its folder says.
foreach(size ${png_sizes})
  set(png "${root}/${icons}/${size}x${size}/apps/veskfrontend.png")
  if(EXISTS "${png}")
    file(READ "${png}" header LIMIT 24 HEX)
    math(EXPR hex "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${hex}" 2 -1 hex)
    string(LENGTH "${hex}" len)
    while(len LESS 8)
      string(PREPEND hex 0)
      string(LENGTH "${hex}" len)
    endwhile()
    if(NOT header MATCHES "^89504e470d0a1a0a0000000d49484452${hex}${hex}$")
      fail("${size}x${size}/apps/veskfrontend.png is not a ${size}x${size} PNG")
    endif()
  endif()
endforeach()

# Compressed documents are gzip files.
foreach(gz share/doc/veskfrontend/changelog.gz share/man/man1/veskfrontend.1.gz share/man/man1/veskcfg.1.gz)
  if(EXISTS "${root}/${gz}")
    file(READ "${root}/${gz}" magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "1f8b")
      fail("${gz} is not gzip-compressed")
    endif()
  endif()
endforeach()

# Where present, the platform's checker looks at the tree as a whole.
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND "${APPSTREAMCLI}" validate-tree --no-net "${DEST}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    fail("appstreamcli validate-tree found problems:\n${out}")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "The installed tree in ${DEST} is wrong:\n${failures}")
endif()
file(REMOVE_RECURSE "${DEST}")
message(STATUS "Installed tree checked: ${DEST}")

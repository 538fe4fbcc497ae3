# Installation into the usual places (programs in bin, data in
# share/tangra-qv-editor, desktop integration under share) and the Debian
# package made from it by `cpack -G DEB`.
#
# The programs of other folders join when their targets exist, so this file
# stays the same as programs are added.
include(GNUInstallDirs)
set(TQV_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tangra-qv-editor)
set(TQV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

foreach(program tangra-qv-editor tangra-qv-tool tangra-qv-sim tangra-qv-plugin-scan)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Resources: the editor finds them in ../share/tangra-qv-editor from its own folder.
install(DIRECTORY resources/ DESTINATION ${TQV_DATA_DIR} PATTERN "*.desktop" EXCLUDE)
# Images and dumps made at build time land in the build folder beside the programs.
install(DIRECTORY ${CMAKE_BINARY_DIR}/images/ DESTINATION ${TQV_DATA_DIR}/images OPTIONAL
        FILES_MATCHING PATTERN "*.png")
install(FILES ${CMAKE_BINARY_DIR}/FactorySettings.blk DESTINATION ${TQV_DATA_DIR} OPTIONAL)

# Desktop entry, icons, file types, software-centre description.
install(FILES resources/tangra-qv-editor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${TQV_PACKAGING_DIR}/icons/${size}x${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tangra-qv-editor.png)
endforeach()
install(FILES ${TQV_PACKAGING_DIR}/tangra-qv-editor.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
configure_file(${TQV_PACKAGING_DIR}/tangra-qv-editor.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/tangra-qv-editor.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tangra-qv-editor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The companion's commands, read from its dispatch, feed the completion and
# the manual page, so that a new command shows up in both.
file(STRINGS ${PROJECT_SOURCE_DIR}/cli/main.cpp TQV_DISPATCH REGEX "command == \"[a-z][a-z-]*\"")
set(TQV_TOOL_COMMANDS "")
foreach(line IN LISTS TQV_DISPATCH)
  string(REGEX MATCH "command == \"([a-z][a-z-]*)\"" _ "${line}")
  if(NOT CMAKE_MATCH_1 STREQUAL "help")
    list(APPEND TQV_TOOL_COMMANDS ${CMAKE_MATCH_1})
  endif()
endforeach()
list(REMOVE_DUPLICATES TQV_TOOL_COMMANDS)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cli/main.cpp)
set(TQV_TOOL_MAN_COMMANDS "")
foreach(command IN LISTS TQV_TOOL_COMMANDS)
  string(APPEND TQV_TOOL_MAN_COMMANDS ".TP\n.B ${command}\nSee\n.BR \"tangra-qv-tool help ${command}\" .\n")
endforeach()
list(JOIN TQV_TOOL_COMMANDS " " TQV_TOOL_COMMANDS)
configure_file(${TQV_PACKAGING_DIR}/tangra-qv-tool.bash ${CMAKE_BINARY_DIR}/packaging/tangra-qv-tool @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tangra-qv-tool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages, compressed as Debian installs them.
foreach(page tangra-qv-editor tangra-qv-tool)
  configure_file(${TQV_PACKAGING_DIR}/${page}.1 ${CMAKE_BINARY_DIR}/packaging/${page}.1 @ONLY)
  install(CODE "execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/${page}.1
                                OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/${page}.1.gz)")
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tangra-qv-editor)
set(CPACK_PACKAGE_VENDOR "Quorvane")
set(CPACK_PACKAGE_CONTACT "Quorvane <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Template editor for the TaNGRA LuMI QV MIDI control surface")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Template editor for the TaNGRA LuMI QV MIDI control surface
 Edits what each of the control surface's 86 controls sends, keeps templates
 in .syx files and bulk dumps, and transfers them to and from the unit over
 MIDI. Includes the command-line companion tangra-qv-tool.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

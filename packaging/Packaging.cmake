# Installation and the Debian package that scripts/package.sh makes with CPack. Included by the
# top CMakeLists.txt once the program's target exists.
include(GNUInstallDirs)

set(QN_APP_ID org.example.quillnote)
set(QN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillnote)

install(TARGETS quillnote RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES packaging/${QN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${QN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/201-window.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${QN_APP_ID}.svg)
install(FILES packaging/copyright DESTINATION ${QN_DOC_DIR})

# Debian keeps manual pages and changelogs compressed; -n leaves out the time stamp, so the same
# sources always give the same package. The page is Italian, the program's only language, and
# stands in man1 so that "man quillnote" finds it under any locale.
set(QN_GZIPPED)
foreach(pair IN ITEMS "quillnote.1|quillnote.1.gz" "quillnote-import.1|quillnote-import.1.gz" "changelog|changelog.gz")
    string(REPLACE "|" ";" pair ${pair})
    list(GET pair 0 source)
    list(GET pair 1 gzipped)
    add_custom_command(OUTPUT ${gzipped}
        COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} > ${gzipped}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} VERBATIM)
    list(APPEND QN_GZIPPED ${CMAKE_CURRENT_BINARY_DIR}/${gzipped})
endforeach()
add_custom_target(quillnote_compressed_docs ALL DEPENDS ${QN_GZIPPED})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillnote.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${QN_DOC_DIR})

# What the package holds, without the tests: scripts/package.sh builds this target only.
add_custom_target(quillnote_installed)
add_dependencies(quillnote_installed quillnote quillnote_compressed_docs)

# The conversion helper, which the window runs from its own folder, is packaged once it is part of
# the build. Looked for when the top folder has been read to its end, wherever the target is defined.
function(qn_install_import_helper)
    if(TARGET quillnote-import)
        install(TARGETS quillnote-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillnote-import.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        add_dependencies(quillnote_installed quillnote-import)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qn_install_import_helper)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillnote)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Sviluppatori di Quillnote")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "archivio personale di tips di programmazione")
# Debian's extended description: lines under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quillnote conserva i tips di programmazione in un archivio: di ognuno il"
    "titolo, la procedura, la categoria, una chiave di ricerca, le note e un"
    "segnalibro. Mostra un tip alla volta, in ordine di titolo; i tips si"
    "aggiungono, modificano, eliminano e cercano, si inviano come messaggio di"
    "posta elettronica o si stampano. La finestra di manutenzione fa copie di"
    "sicurezza dell'archivio, lo compatta e lo ripara. L'interfaccia è in italiano.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Sviluppatori di Quillnote <quillnote@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/quillnote)
# The libraries come from the binaries; what the program only loads at run time is named here:
# the fonts the layout is measured for, and Qt's Italian texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n")
include(CPack)

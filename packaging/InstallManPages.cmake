# Installs the man pages, run by `cmake --install` and by cpack. The pages are configured here,
# with the prefix they are installed under, so that they name the real path of the installed
# sample Tarn.INI (cpack installs under /usr with DESTDIR set: the path is /usr/share/...).
# In: TARN_MAN_SOURCE (the pages), TARN_MAN_WORK (a folder of the build), TARN_MAN_PAGES,
# TARN_MAN_DESTINATION and TARN_DATADIR (relative to the prefix or absolute), TARN_GZIP,
# PROJECT_VERSION.
foreach(dir TARN_MAN_DESTINATION TARN_DATADIR)
    if(IS_ABSOLUTE "${${dir}}")
        set(${dir}_FULL "${${dir}}")
    else()
        set(${dir}_FULL "${CMAKE_INSTALL_PREFIX}/${${dir}}")
    endif()
endforeach()
set(TARN_SHARE_DIR "${TARN_DATADIR_FULL}/tarnconf")

foreach(page ${TARN_MAN_PAGES})
    configure_file("${TARN_MAN_SOURCE}/${page}.1" "${TARN_MAN_WORK}/${page}.1" @ONLY)
    # Compressed reproducibly: no name or time in the header.
    execute_process(COMMAND "${TARN_GZIP}" -9nf "${TARN_MAN_WORK}/${page}.1"
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${page}.1 could not be compressed: ${failed}")
    endif()
    file(INSTALL "${TARN_MAN_WORK}/${page}.1.gz" DESTINATION "${TARN_MAN_DESTINATION_FULL}")
endforeach()

# Install layout and packaging. `cmake --install build --prefix DIR` gives
# bin/, share/man/man1 and share/doc/tsvmesh; `cpack -G DEB` in the release
# build makes tsvmesh_VERSION_ARCH.deb with its dependencies found by
# dpkg-shlibdeps. On Windows `cpack` makes tsvmesh-VERSION-win64.zip: the
# programs, a README for Windows, the licence and the examples side by side.
include(GNUInstallDirs)

# The formats this build writes as Markdown table rows (extension and
# description), read from the format table itself, for the Windows README.
function(tsvmesh_format_rows result)
  file(STRINGS ${PROJECT_SOURCE_DIR}/src/export/cli/formats.cpp rows REGEX "^ *{\"[a-z]+\", \"")
  set(text "")
  foreach(row IN LISTS rows)
    string(REGEX MATCH "{\"([a-z]+)\", \"([^\"]*)\"" found "${row}")
    set(extension "${CMAKE_MATCH_1}")
    set(description "${CMAKE_MATCH_2}")
    if(" ${TSVMESH_EXPORT_FORMATS} " MATCHES " \\.${extension} ")
      string(APPEND text "| `.${extension}` | ${description} |\n")
    endif()
  endforeach()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

if(WIN32)
  # The zip: both programs, the examples, a README written for Windows that
  # names the formats this build has, and the licence.
  install(TARGETS tsvmesh RUNTIME DESTINATION .)
  tsvmesh_format_rows(TSVMESH_EXPORT_FORMAT_ROWS)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/src/export/cli/formats.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.md.in ${PROJECT_BINARY_DIR}/README-windows.md @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/README-windows.md DESTINATION . RENAME README.md)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/survey.tsv ${PROJECT_SOURCE_DIR}/examples/terrain.tsv
                ${PROJECT_SOURCE_DIR}/examples/site.csv DESTINATION examples)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/terrain-3d.png DESTINATION docs)
  set(CPACK_PACKAGE_FILE_NAME tsvmesh-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS tsvmesh RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  # The README's documents and pictures, where its links expect them.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/guide.md ${PROJECT_SOURCE_DIR}/docs/architecture.md
                ${PROJECT_SOURCE_DIR}/docs/performance.md ${PROJECT_SOURCE_DIR}/docs/terrain.png
                ${PROJECT_SOURCE_DIR}/docs/terrain-3d.png ${PROJECT_SOURCE_DIR}/docs/site-plan.png
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

  # Man pages and the changelog compressed as Debian has them (gzip -9n: no
  # name, no time stamp), made again whenever CMake runs after a change.
  find_program(TSVMESH_GZIP gzip)
  set(tsvmesh_compressed ${PROJECT_BINARY_DIR}/compressed)
  file(MAKE_DIRECTORY ${tsvmesh_compressed})
  function(tsvmesh_install_compressed source name destination)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    if(TSVMESH_GZIP)
      execute_process(COMMAND ${TSVMESH_GZIP} -9nc INPUT_FILE ${source}
                      OUTPUT_FILE ${tsvmesh_compressed}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
      install(FILES ${tsvmesh_compressed}/${name}.gz DESTINATION ${destination})
    else()
      install(FILES ${source} DESTINATION ${destination} RENAME ${name})
    endif()
  endfunction()
  tsvmesh_install_compressed(${PROJECT_SOURCE_DIR}/docs/tsvmesh.1 tsvmesh.1 ${CMAKE_INSTALL_MANDIR}/man1)
  if(TARGET tsvmesh-export)
    tsvmesh_install_compressed(${PROJECT_SOURCE_DIR}/docs/tsvmesh-export.1 tsvmesh-export.1
                               ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  tsvmesh_install_compressed(${PROJECT_SOURCE_DIR}/cmake/changelog.Debian changelog.Debian ${CMAKE_INSTALL_DOCDIR})

  # The examples' first lines name build/NAME.csv for runs from the source
  # tree; the installed copies name NAME.csv, so that they write into the
  # folder they are run from.
  file(GLOB tsvmesh_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.tsv)
  foreach(example IN LISTS tsvmesh_examples)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${example})
    file(READ ${example} text)
    string(FIND "${text}" "\n" lineEnd)
    string(SUBSTRING "${text}" 0 ${lineEnd} firstLine)
    math(EXPR pointsStart "${lineEnd} + 1")
    string(SUBSTRING "${text}" ${pointsStart} -1 points)
    get_filename_component(csvName "${firstLine}" NAME)
    get_filename_component(exampleName ${example} NAME)
    file(WRITE ${PROJECT_BINARY_DIR}/installed-examples/${exampleName} "${csvName}\n${points}")
  endforeach()
  install(DIRECTORY ${PROJECT_BINARY_DIR}/installed-examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  # A field file names no output: installed as it is.
  install(FILES ${PROJECT_SOURCE_DIR}/examples/site.csv DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

set(CPACK_PACKAGE_NAME tsvmesh)
set(CPACK_PACKAGE_VENDOR "tsvmesh")
set(CPACK_PACKAGE_CONTACT "tsvmesh maintainers <maintainers@tsvmesh.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Delaunay triangle mesh of surveyed points, with pictures and exports")
# Debian's description lines stay under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "tsvmesh turns a TSV file of surveyed points (x y z) into a Delaunay triangle
mesh in the x-y plane, written as a CSV file of triangles with their count and
average longest side in its head. The same file gives the same bytes on every
platform. tsvmesh-export turns points, field files and meshes into plans at
scale (PDF), pictures (PNG, SVG), contours, elevation grids (GeoTIFF, ESRI
ASCII), volumes, files for 3D, CAD, survey and GIS software (PLY, OBJ,
LandXML, DXF, GeoJSON, GeoPackage, Shapefile), and one HTML page that shows
the surface in 3D in any browser.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Debian revision of this packaging, as in cmake/changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

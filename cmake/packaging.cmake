# Install layout and packaging. `cmake --install build --prefix DIR` gives
# bin/, share/man/man1 and share/doc/tsvmesh; `cpack -G DEB` in the release
# build makes tsvmesh_VERSION_ARCH.deb with its dependencies found by
# dpkg-shlibdeps. On Windows `cpack` makes tsvmesh-VERSION-win64.zip: the
# programs, a README for Windows, the licence and the examples side by side.
include(GNUInstallDirs)

if(WIN32)
  # The zip: both programs, the examples, a README written for Windows that
  # names the formats this build has, and the licence.
  install(TARGETS tsvmesh RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.md.in ${PROJECT_BINARY_DIR}/README-windows.md @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/README-windows.md DESTINATION . RENAME README.md)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/survey.tsv ${PROJECT_SOURCE_DIR}/examples/terrain.tsv
          DESTINATION examples)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/terrain-3d.png DESTINATION docs)
  set(CPACK_PACKAGE_FILE_NAME tsvmesh-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS tsvmesh RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/tsvmesh.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/terrain.png ${PROJECT_SOURCE_DIR}/docs/terrain-3d.png
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

set(CPACK_PACKAGE_NAME tsvmesh)
set(CPACK_PACKAGE_VENDOR "tsvmesh")
set(CPACK_PACKAGE_CONTACT "tsvmesh maintainers <tsvmesh@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Delaunay triangle mesh of surveyed points, with pictures and exports")
set(CPACK_PACKAGE_DESCRIPTION
    "tsvmesh turns a TSV file of points (x y z) into a Delaunay triangle mesh written as CSV. tsvmesh-export draws the mesh (PNG, SVG, PDF) and writes it as PLY, OBJ or LandXML.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
include(CPack)

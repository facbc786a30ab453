# The Debian packages (CPack's DEB generator) over the install() rules of
# the tree, for a build configured with -DTELLWEN_PACKAGE=ON and the prefix
# /usr (scripts/package). One package per install component:
#
#   server   tellwen          the servers, the jobs, setup, the tools, the
#                             site's sources; and what only a system install
#                             has: kivweb's default configuration in
#                             /etc/tellwen and the rotation of the logs (both
#                             conffiles: an upgrade keeps the administrator's),
#                             the two systemd units, the maintainer scripts
#                             that make the group tellwen and the state and
#                             log folders
#   desktop  tellwen-desktop  the windows: KIVAdmin, the window parts of
#                             KIVIndexer, KIVMonitor and KIVSetup, the menu
#                             entries; depends on tellwen of the same version
#
# A rule without a COMPONENT of its own is the server's: the top
# CMakeLists.txt sets CMAKE_INSTALL_DEFAULT_COMPONENT_NAME before any rule.
# tellwen-desktop is made only once some rule of the tree names the
# component desktop; until then tellwen holds everything.
#
# The version is the first entry of packaging/changelog (upstream-revision),
# so the changelog installed and the packages' version never differ.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "TELLWEN_PACKAGE needs -DCMAKE_INSTALL_PREFIX=/usr")
endif()
set(TELLWEN_PACKAGE_COMPONENTS server desktop)

# The components of the tree's rules, before this file adds its own. A rule
# of another component would be packaged nowhere: refused here, not dropped.
get_cmake_property(tree_components COMPONENTS)
foreach(component IN LISTS tree_components)
  if(NOT component IN_LIST TELLWEN_PACKAGE_COMPONENTS)
    message(FATAL_ERROR "install() rules of component '${component}' belong to no package: "
                        "give them COMPONENT server or desktop (packaging/package.cmake)")
  endif()
endforeach()
set(packaged_components server)
if(desktop IN_LIST tree_components)
  list(APPEND packaged_components desktop)
endif()

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^tellwen \\(([0-9][0-9.]*)-([0-9][0-9a-z.+~]*)\\) ")
  message(FATAL_ERROR "packaging/changelog: the first line is not \"tellwen (UPSTREAM-REVISION) ...\"")
endif()
set(package_upstream_version ${CMAKE_MATCH_1})
set(package_revision ${CMAKE_MATCH_2})
set(package_version ${package_upstream_version}-${package_revision})

# The changelog, compressed as Debian wants it (gzip -9n: no name, no time,
# so the same changelog makes the same file).
set(package_changelog ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${package_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${package_changelog}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(package_changelog ALL DEPENDS ${package_changelog})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kivweb.conf DESTINATION /etc/tellwen COMPONENT server)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/logrotate DESTINATION /etc/logrotate.d RENAME tellwen
        COMPONENT server)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tellwen-web.service
              ${CMAKE_CURRENT_LIST_DIR}/tellwen-monitor.service
        DESTINATION lib/systemd/system COMPONENT server)
# Each package has its own copyright and changelog (Debian's policy: a
# package's documentation folder is its own unless it is a link into a
# package it depends on), and its lintian overrides (each with its reason in
# packaging/lintian-overrides, and for the desktop package
# packaging/lintian-overrides-desktop).
foreach(component IN LISTS packaged_components)
  set(package_name tellwen)
  set(overrides lintian-overrides)
  if(component STREQUAL desktop)
    set(package_name tellwen-desktop)
    set(overrides lintian-overrides-desktop)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${package_changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_name} COMPONENT ${component})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/${overrides}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package_name}
          COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${packaged_components})
set(CPACK_PACKAGE_NAME tellwen)
set(CPACK_PACKAGE_VERSION ${package_upstream_version})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${package_revision})
set(CPACK_PACKAGE_CONTACT "Tellwen maintainers <maintainers@tellwen.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

# The description's first line is the synopsis; the others are wrapped
# below 80 columns, as Debian's tools show them.
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME tellwen)
set(CPACK_DEBIAN_SERVER_DESCRIPTION
"search engine for the shared files of a local network
Tellwen indexes the SMB shares of a LAN into a catalog database and serves
a search site over it (kivweb and its extension), with a ping monitor of
the catalogued computers, a setup program and command-line tools.")
set(CPACK_DEBIAN_SERVER_PACKAGE_SHLIBDEPS ON)
# Beyond the shared libraries: the account tools setup runs, the charts' font.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "passwd, fonts-dejavu-core")
# The scheduled scan and update; the rotation of the logs.
set(CPACK_DEBIAN_SERVER_PACKAGE_RECOMMENDS "cron, logrotate")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/conffiles
    ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/prerm
    ${CMAKE_CURRENT_LIST_DIR}/postrm)

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME tellwen-desktop)
# Built from the same source as tellwen (its changelog names that source).
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SOURCE tellwen)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
"desktop programs of the Tellwen search engine
The windows of Tellwen: the administrator program KIVAdmin, the windows of
the indexer, the ping monitor and setup, and their menu entries. The
servers and tools are in the package tellwen.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "tellwen (= ${package_version})")
include(CPack)

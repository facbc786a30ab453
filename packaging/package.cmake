# The Debian package (CPack's DEB generator) over the install() rules of the
# tree, for a build configured with -DTELLWEN_PACKAGE=ON and the prefix /usr
# (scripts/package). Adds what only a system install has: the default kivweb
# configuration in /etc/tellwen (a conffile: an upgrade keeps the
# administrator's), the two systemd units, the maintainer scripts that make
# the group tellwen and the state folders.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "TELLWEN_PACKAGE needs -DCMAKE_INSTALL_PREFIX=/usr")
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kivweb.conf DESTINATION /etc/tellwen)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tellwen-web.service ${CMAKE_CURRENT_LIST_DIR}/tellwen-monitor.service DESTINATION lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tellwen)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "Tellwen maintainers <maintainers@tellwen.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search engine for the shared files of a local network")
set(CPACK_PACKAGE_DESCRIPTION
    "Tellwen indexes the SMB shares of a LAN into a catalog database and serves a search\n site over it, with an administrator program, a ping monitor and a setup program.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the shared libraries: the account tools setup runs, the charts' font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cron")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/conffiles
    ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/prerm
    ${CMAKE_CURRENT_LIST_DIR}/postrm)
include(CPack)

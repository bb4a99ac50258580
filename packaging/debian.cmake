# The Debian packages tolvane, tolvane-logon and tolvane-demo (cpack -G DEB in a build
# configured with CMAKE_INSTALL_PREFIX=/usr; scripts/package does both).
set(TVN_MAINTAINER "Tolvane team <tolvane@example.org>")

# Every Debian package carries its copyright and its changelog.
configure_file(changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
    COMMAND ${GZIP} -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog
            > ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
    VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
set(doc_components tolvane logon demo)
set(doc_packages tolvane tolvane-logon tolvane-demo)
foreach(component package IN ZIP_LISTS doc_components doc_packages)
    install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# The maintainer scripts register the components in the machine's class
# store by their installed paths.
set(TVN_COMPONENTS "${TVN_INSTALL_FULL_LIBDIR}/libkddir.so ${TVN_INSTALL_FULL_LIBDIR}/libquillon.so")
foreach(script postinst prerm postrm)
    configure_file(${script}.in ${CMAKE_CURRENT_BINARY_DIR}/debian/${script} @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "Tolvane team")
set(CPACK_PACKAGE_CONTACT ${TVN_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL tolvane logon demo)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TVN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tolvane.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TVN_INSTALL_FULL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_DEBIAN_TOLVANE_PACKAGE_NAME tolvane)
# The first line of a description is the package's synopsis.
set(CPACK_COMPONENT_TOLVANE_DESCRIPTION
    "administrator's tool for remote management of workstations
Tolvane finds the workstation of a user or a workstation name in the
directory and starts a remote-management console against it. It shows
chosen directory attributes, keeps a history and per-user settings.

The package holds the programs tvn, quillon-host, kddir-check, regsrv,
regvalue and kdclient, the directory control, the Quillon session control
and the login libraries. The controls are registered in the machine's class
store /var/lib/tolvane/classes.db for all users.

tolvane-console, copied by a site into its console folders, reaches the
workstation with the tools the site configures in /etc/tolvane/consoles.conf:
by default a VNC viewer, ssh in a terminal, the file manager over sftp and a
check of the workstation's ports.")
# The consoles' default tools; a site may choose others.
set(CPACK_DEBIAN_TOLVANE_PACKAGE_SUGGESTS
    "tigervnc-viewer | xtightvncviewer | remmina, openssh-client, xterm | x-terminal-emulator, xdg-utils")
set(CPACK_DEBIAN_TOLVANE_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/conffiles
    ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst
    ${CMAKE_CURRENT_BINARY_DIR}/debian/prerm
    ${CMAKE_CURRENT_BINARY_DIR}/debian/postrm)
set(CPACK_DEBIAN_TOLVANE_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DEMO_PACKAGE_NAME tolvane-demo)
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_DEMO_DESCRIPTION
    "demonstration network and directory for Tolvane
A directory with two trees of users and workstations, a network of file
servers and the network client's session. The tolvane-demo command runs the
installed Tolvane against them, with tolvane-console in the network's
console folders recording the command lines it is started with.")
set(CPACK_DEBIAN_DEMO_PACKAGE_DEPENDS "tolvane (= ${PROJECT_VERSION}.0-1)")

set(CPACK_DEBIAN_LOGON_PACKAGE_NAME tolvane-logon)
set(CPACK_DEBIAN_LOGON_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_LOGON_DESCRIPTION
    "login publisher for workstations managed with Tolvane
tolvane-logon, run by pam_exec at every login and logout, publishes which
user is logged in at this workstation into the directory (OpenLDAP with the
standard schemas, Active Directory, or a directory written for Tolvane), so
that the administrator's tool finds the user's workstation. The workstation
binds as itself; a login never waits on it longer than a timeout, and never
fails because of it.

The PAM profile stays disabled until the administrator enables it with
pam-auth-update --enable tolvane. The systemd unit tolvane-logon-sweep
removes at boot what sessions ended by a crash left published.")
set(CPACK_DEBIAN_LOGON_PACKAGE_RECOMMENDS "libpam-runtime")
set(CPACK_DEBIAN_LOGON_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/logon/conffiles
    ${CMAKE_CURRENT_SOURCE_DIR}/logon/prerm)
set(CPACK_DEBIAN_LOGON_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

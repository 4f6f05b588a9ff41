# Where an installed Sensorvisor puts its files.
#
#   sbin/sensorvisor                    the monitor (runs as root)
#   sbin/sensorvisor-exporter           the Prometheus exporter (runs as root)
#   bin/sensorvisor-sim                 the virtual-board launcher
#   bin/sensorvisor-exporter-sim        the exporter on a virtual board
#   lib/systemd/system/sensorvisor-exporter.service
#                                       the exporter's service unit
#   share/sensorvisor/prometheus/       alert rules and their promtool tests
#   share/sensorvisor/*.ini             master files the launcher seeds into a sandbox
#   share/sensorvisor/boards/*.json     the bundled virtual boards
#   share/man/man8, man5, man1          the manual pages
#   share/doc/sensorvisor/              the README and docs/ (the pages link each other and
#                                       the screenshots by relative paths, kept as they are)
#   /etc/*.ini                          master files the first run reads; an administrator's
#                                       copy is never replaced
#   share/pixmaps/sensorvisor/idr_main.ico
#                                       the about-box icon: the window looks under
#                                       /usr/local/share first, then under this prefix's share
#                                       (a Debian package must not install into /usr/local)


set(SV_MASTER_FILES
  ${CMAKE_SOURCE_DIR}/data/AllSenvis.ini
  ${CMAKE_SOURCE_DIR}/data/OldRevMB.ini
  ${CMAKE_SOURCE_DIR}/data/OldRevMB_2.ini
  ${CMAKE_SOURCE_DIR}/data/OldRevMB_3.ini)

install(TARGETS sensorvisor sensorvisor-exporter RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(TARGETS sensorvisor-sim sensorvisor-exporter-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SV_MASTER_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/sensorvisor)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/boards/ DESTINATION ${CMAKE_INSTALL_DATADIR}/sensorvisor/boards
        FILES_MATCHING PATTERN "*.json")
install(FILES ${CMAKE_SOURCE_DIR}/man/sensorvisor.8 ${CMAKE_SOURCE_DIR}/man/sensorvisor-exporter.8
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${CMAKE_SOURCE_DIR}/man/Senvis.ini.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${CMAKE_SOURCE_DIR}/man/sensorvisor-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(FILES ${CMAKE_SOURCE_DIR}/contrib/prometheus/sensorvisor-rules.yml
              ${CMAKE_SOURCE_DIR}/contrib/prometheus/sensorvisor-rules.test.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/sensorvisor/prometheus)

# The unit names the exporter where it is installed: the prefix is known only
# at install time (cmake --install --prefix).
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/contrib/systemd/sensorvisor-exporter.service\" unit)
  string(REPLACE \"/usr/sbin/sensorvisor-exporter\"
         \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SBINDIR}/sensorvisor-exporter\" unit \"\${unit}\")
  file(WRITE \"${CMAKE_BINARY_DIR}/systemd/sensorvisor-exporter.service\" \"\${unit}\")
  file(INSTALL \"${CMAKE_BINARY_DIR}/systemd/sensorvisor-exporter.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")")

install(FILES ${CMAKE_SOURCE_DIR}/assets/idr_main.ico
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps/sensorvisor)

# The master files in /etc: an administrator may have edited them, so an
# existing file is left as it is (the Debian package marks them as conffiles
# instead, where dpkg asks). DESTDIR is honoured so that staging installs and
# the package build see a fresh /etc.
foreach(master ${SV_MASTER_FILES})
  get_filename_component(name ${master} NAME)
  install(CODE "
    set(target \"\$ENV{DESTDIR}/etc/${name}\")
    if(EXISTS \"\${target}\")
      message(STATUS \"Kept: \${target} (already there)\")
    else()
      file(INSTALL \"${master}\" DESTINATION /etc)  # file(INSTALL) adds DESTDIR itself
    endif()")
endforeach()

# `make package`: a Debian package of the monitor, the launcher, the boards,
# the master files (as conffiles, so dpkg never silently replaces an edited
# one) and the manual pages.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sensorvisor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Sensorvisor developers <sensorvisor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hardware-health monitor for x86 server boards")
set(CPACK_PACKAGE_DESCRIPTION
  "Reads the board's monitoring hardware (LPC monitor chips, Super I/O, SMBus chips through
i2c-dev, chipset GPIO, SMBIOS, the BMC over IPMI) and reports fans, voltages, temperatures and
switches against their limits. Includes sensorvisor-sim, which runs the monitor on virtual
boards, and sensorvisor-exporter, which publishes the readings for Prometheus (HTTP or
node_exporter's textfile collector) or checks them for Nagios, with alert rules and a systemd
unit.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Shared-library dependencies are read off the binaries (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dmidecode identifies boards without an SMBIOS entry point; kmod's modprobe
# loads the SMBus adapter and i2c-dev drivers.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dmidecode, kmod")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus, prometheus-node-exporter")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)

set(SV_CONFFILES "")
foreach(master ${SV_MASTER_FILES})
  get_filename_component(name ${master} NAME)
  string(APPEND SV_CONFFILES "/etc/${name}\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${SV_CONFFILES}")

include(CPack)

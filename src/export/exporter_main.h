// sensorvisor-exporter: the monitor's start-up and engine, publishing every
// monitored item for Prometheus (an HTTP /metrics, or a file for
// node_exporter's textfile collector), or checking them once for Nagios and
// its kin. Its command line is its own; see usage() in the source or the
// manual page sensorvisor-exporter(8).
#pragma once

int exporter_main(int argc, char** argv);

# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack after the package is built: rebuilds each .deb without the
# Maintainer field, which CPack insists on, until the project has an address
# of its own to put there.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND sed -i "/^Maintainer:/d" "${tree}/DEBIAN/control"
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${deb}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()

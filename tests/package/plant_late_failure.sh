#!/usr/bin/env bash
# Copies an installer and plants in the copy a deferred step that fails after the registration
# (regsvr32 on a library that does not exist, checked), so that the installation rolls back
# after the trees were written.
#   plant_late_failure.sh INSTALLER COPY [registration-only]
# With registration-only, the copy also loses the installer's own removal of the trees and keeps
# the library's file through a rollback (a permanent component): Wine runs the rollback script in
# the order it was written, not backwards as Windows does, so it would delete the file before the
# registration's rollback can run it, and rolling back its registry step deletes the trees too.
# What is left is the registration's own rollback. The permanent component gets an id of its own,
# so that what Windows Installer records of it keeps no other installer's file.
set -euo pipefail
mkdir -p "$(dirname "$2")"
cp "$1" "$2.partial"
queries=(-q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailAfterRegistration', 3122, 'KX_REGSVR32', '/s /i \"[INSTALLDIR]missing.dll\"')"
         -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailAfterRegistration', 'NOT REMOVE=\"ALL\"', 6595)")
if [ "${3:-}" = registration-only ]; then
    # 0x110: a 64-bit component that is never removed.
    queries+=(-q "DELETE FROM \`Registry\`"
              -q "UPDATE \`Component\` SET \`Attributes\` = 272, \`ComponentId\` = '{0D3E5A7C-2B41-4C8E-9A6F-7E1B3C5D9F20}' WHERE \`Component\` = 'Library'")
fi
msibuild "$2.partial" "${queries[@]}"
mv "$2.partial" "$2"

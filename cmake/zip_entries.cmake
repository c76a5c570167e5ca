# Writes the zip of NAMES (in the working directory) to OUTPUT, every entry
# dated MTIME; run with TZ=UTC, as a zip holds local times.
file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS ${NAMES} FORMAT zip MTIME "${MTIME}")

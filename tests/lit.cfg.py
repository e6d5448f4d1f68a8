# lit configuration for the kit's command-line tests. The build writes the
# paths of the built programs into a small site file passed as --param site=.
import os
import sys
import lit.formats

site = lit_config.params.get('site')
if not site:
    lit_config.fatal('run through CTest, or pass --param site=BUILD/tests/kit_site.py')
exec(open(site).read())
# The emulator that runs the built programs (a cross build's qemu-arm); the
# site file has the build's, and --param emulator=... overrides it.
config.kit_emulator = lit_config.params.get('emulator', config.kit_emulator)

config.name = 'objkit'
config.test_format = lit.formats.ShTest(execute_external=False)
config.suffixes = ['.test']
config.excludes = ['Inputs', 'fuzz']
config.test_source_root = os.path.dirname(os.path.abspath(__file__))
config.test_exec_root = os.path.join(config.kit_binary_dir, 'tests')

config.environment['PATH'] = os.pathsep.join(
    [config.llvm_tools_dir, config.environment.get('PATH', os.environ.get('PATH', '/usr/bin:/bin'))])
# Programs never free their lasting tables; leak reports would only be noise.
config.environment['ASAN_OPTIONS'] = 'detect_leaks=0'
for var in ['LANG', 'LC_ALL', 'LC_MESSAGES', 'LANGUAGE', 'TMPDIR']:
    if var in os.environ:
        config.environment[var] = os.environ[var]

# Longest names first, so no substitution eats the start of another.
emulator = config.kit_emulator + ' ' if config.kit_emulator else ''
for name in sorted(config.kit_programs, key=len, reverse=True):
    config.substitutions.append(('%' + name, emulator + config.kit_programs[name]))
# The program files themselves, without the emulator, for tests that copy
# or link them into an install of their own (run those with %run).
for name in config.kit_programs:
    config.substitutions.append(('%exe-' + name, config.kit_programs[name]))
config.substitutions.append(('%python', sys.executable))
config.substitutions.append(('%yew-target', config.yew_target))
config.substitutions.append(('%yew-version', config.yew_version))
config.substitutions.append(('%run', config.kit_emulator))
config.substitutions.append(('%src', config.kit_source_dir))
config.substitutions.append(('%build', config.kit_binary_dir))
if config.kit_emulator:
    config.available_features.add('emulated')
else:
    config.available_features.add('native')
if 'valgrind' in config.kit_emulator:
    config.available_features.add('memcheck')
# The target's libraries unpacked by a cross build, when there are some.
if config.kit_armhf_deps and os.path.isdir(config.kit_armhf_deps):
    config.available_features.add('armhf-deps')
    config.substitutions.append(('%armhf-deps', config.kit_armhf_deps))
if config.kit_sanitize:
    config.available_features.add('sanitize')

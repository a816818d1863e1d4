'''A stand-in udisks2 for the tool's tests: a python-dbusmock template with these block devices.

/dev/sdb1  mounts (at /media/test/CARD) and unmounts
/dev/sdc1  mounted already at /media/test/OTHER
/dev/sdd1  refuses to mount and unmount, as polkit does without an agent
/dev/sde1  known only to GetManagedObjects: ResolveDevice answers as an udisks2 older than 2.7
/dev/sdf   a disk without a file system
Every call is logged (python3 -m dbusmock -l FILE), with its options.
'''

import dbus
import dbusmock

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

BLOCK = 'org.freedesktop.UDisks2.Block'
FILESYSTEM = 'org.freedesktop.UDisks2.Filesystem'
DEVICES = {
    # node: (label, uuid, mount points or None without a file system)
    '/dev/sdb1': ('CARD', '3A1F-0C22', []),
    '/dev/sdc1': ('OTHER', '77E0-1B09', ['/media/test/OTHER']),
    '/dev/sdd1': ('LOCKED', '0D0D-5E5E', []),
    '/dev/sde1': ('OLD', '1234-ABCD', []),
    '/dev/sdf': ('', '', None),
}


def bytestring(text):
    return dbus.Array(list(text.encode() + b'\0'), signature='y')


def object_path(node):
    return MAIN_OBJ + '/block_devices/' + node.rsplit('/', 1)[1]


def resolve_device(_self, wanted, _options):
    node = str(wanted.get('path', ''))
    if node == '/dev/sde1':
        raise dbus.exceptions.DBusException('No such method “ResolveDevice”',
                                            name='org.freedesktop.DBus.Error.UnknownMethod')
    return dbus.Array([object_path(node)] if node in DEVICES else [], signature='o')


def refuse(_self, _options):
    raise dbus.exceptions.DBusException('Not authorized to perform operation',
                                        name='org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain')


def load(mock, _parameters):
    mock.AddObject(MAIN_OBJ + '/Manager', 'org.freedesktop.UDisks2.Manager', {},
                   [('ResolveDevice', 'a{sv}a{sv}', 'ao', resolve_device)])
    for node, (label, uuid, points) in DEVICES.items():
        path = object_path(node)
        mock.AddObject(path, BLOCK, {
            'Device': bytestring(node),
            'PreferredDevice': bytestring(node),
            'IdLabel': dbus.String(label),
            'IdUUID': dbus.String(uuid),
        }, [])
        if points is None:
            continue
        block = dbusmock.get_object(path)
        block.AddProperties(FILESYSTEM, {
            'MountPoints': dbus.Array([bytestring(p) for p in points], signature='ay'),
        })
        locked = node == '/dev/sdd1'
        block.AddMethods(FILESYSTEM, [
            ('Mount', 'a{sv}', 's', refuse if locked else 'ret = "/media/test/CARD"'),
            ('Unmount', 'a{sv}', '', refuse if locked else ''),
        ])

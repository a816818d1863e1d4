// The dock's polkit rule under a stand-in for polkitd: each row is an action asked by a user, with
// the mount options and the drive's bus udisks2 gives, and the answer the rule must give.
"use strict";
const fs = require("fs");
const vm = require("vm");

const Result = {YES: "yes", NO: "no", NOT_HANDLED: null};
const rules = [];
const polkit = {Result, addRule: (rule) => rules.push(rule), log: () => {}};
vm.runInNewContext(fs.readFileSync(process.argv[2], "utf8"), {polkit});

// What polkitd answers: the first rule that handles the action.
function answer(id, user, options, bus) {
    const details = {"drive.removable.bus": bus, options};
    const action = {id, lookup: (key) => details[key]};
    for (const rule of rules) {
        const result = rule(action, {user});
        if (result !== null && result !== undefined)
            return result;
    }
    return "not handled";
}

const udisks = "org.freedesktop.udisks2.";
const cases = [
    // action, user, options (undefined: not given), bus, answer
    ["filesystem-mount", "dalvex", "ro", "usb", "yes"],
    ["filesystem-mount", "dalvex", "nosuid,ro,nodev", "usb", "yes"],
    ["filesystem-mount-other-seat", "dalvex", "ro", "usb", "yes"],
    ["filesystem-mount-other-seat", "dalvex", undefined, "usb", "yes"],  // udisks2 2.9, 2.10
    ["filesystem-mount", "dalvex", "rw", "usb", "no"],
    ["filesystem-mount", "dalvex", "", "usb", "no"],
    ["filesystem-mount", "dalvex", "ro,rw", "usb", "no"],
    ["filesystem-mount", "dalvex", "errors=ro", "usb", "no"],
    ["filesystem-mount-other-seat", "dalvex", "ro", "ata", "not handled"],
    ["filesystem-mount", "dalvex", "ro", undefined, "not handled"],  // not removable
    ["filesystem-mount", "alice", "ro", "usb", "not handled"],
    ["filesystem-mount-system", "dalvex", "ro", "usb", "not handled"],
    ["filesystem-mount-fstab", "dalvex", "ro", "usb", "not handled"],
    ["filesystem-unmount-others", "dalvex", undefined, "usb", "yes"],
    ["filesystem-unmount-others", "dalvex", undefined, "sata", "not handled"],
    ["filesystem-unmount-others", "root2", undefined, "usb", "not handled"],
    ["filesystem-format", "dalvex", undefined, "usb", "not handled"],
    ["encrypted-unlock", "dalvex", undefined, "usb", "not handled"],
    ["power-off-drive", "dalvex", undefined, "usb", "not handled"],
    ["modify-device", "dalvex", undefined, "usb", "not handled"],
    ["loop-setup", "dalvex", undefined, "usb", "not handled"],
];
let failed = 0;
for (const [id, user, options, bus, expected] of cases) {
    const got = answer(udisks + id, user, options, bus);
    if (got !== expected) {
        console.log(`FAIL ${id} ${user} options=${options} bus=${bus}: ${got}, expected ${expected}`);
        failed++;
    }
}
if (answer("org.freedesktop.login1.reboot", "dalvex", undefined, "usb") !== "not handled") {
    console.log("FAIL an action of another service is handled");
    failed++;
}
console.log(`${cases.length + 1 - failed} of ${cases.length + 1} cases as expected`);
process.exit(failed ? 1 : 0);

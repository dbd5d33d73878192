"""forms.list holds what GNU as gives today: every line's bytes are assembled again and compared
(skipped when binutils are missing)."""
import os
import subprocess
import sys

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "forms_list.py")

r = subprocess.run([sys.executable, SCRIPT, "--check"], capture_output=True, text=True)
print(r.stdout + r.stderr)
sys.exit(r.returncode)
